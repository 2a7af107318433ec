// The per-thread message queue and the translation of SDL events into messages.
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace win32 {

struct MessageQueue {
  std::mutex mutex;
  std::deque<MSG> messages;  // posted and input messages, oldest first
  bool quitPosted = false;
  int quitCode = 0;
};

std::shared_ptr<MessageQueue> currentQueue();

// Appends to the queue; WM_MOUSEMOVE replaces a mouse move that is still the newest message
// for the same window, as the real system coalesces them.
void postToQueue(MessageQueue& queue, const MSG& msg);
// Drops every message for a window that is being destroyed.
void dropWindowMessages(MessageQueue& queue, HWND window);

// Moves everything SDL has gathered into the message queues.
void pumpDisplayEvents();

// Cursor position on the screen as of the newest input event, and of the message being
// dispatched (what the move loop starts from).
POINT lastCursorPos();
POINT currentMessagePos();
void setCurrentMessagePos(POINT pt);

// The modal move loop of a caption drag; returns when the left button is released.
void runMoveLoop(HWND window);

}  // namespace win32
