// The scene's fatal paths through the program's own fatal error routine: a program built
// without one resource (KQ_MISSING_RESOURCE says which), and a skinnable
// mesh object that cannot be allocated. Each ends with the message and exit code 5.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "app_state.h"
#include "d3d9_test_device.h"
#include "device.h"
#include "scene.h"

namespace {

// The nothrow allocation of a SkinnedMesh that is to fail, counted from 1; 0 for none.
int failingMeshAllocation = 0;

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (size == sizeof(SkinnedMesh) && failingMeshAllocation > 0 && --failingMeshAllocation == 0) return nullptr;
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace {

// Builds the scene on a NULLREF device, as start-up does after createDevice.
void createSceneOnNullRefDevice() {
  instanceHandle = GetModuleHandleA(nullptr);
  if (FAILED(d3d9test::createNullRefDevice(512, 512, direct3D, device))) std::abort();
  createScene();
}

#ifdef KQ_MISSING_RESOURCE
TEST(SceneFatalDeathTest, AMissingResourceEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Per omitted resource (SMOKE_1.TGA to SMOKE_5.TGA, CREDZ.X), its message and the
  // newline the fatal error routine adds.
  const char* const messages[] = {
      "Error loading smoke texture #1.\n\n", "Error loading smoke texture #2.\n\n",
      "Error loading smoke texture #3.\n\n", "Error loading smoke texture #4.\n",
      "Error loading smoke texture #5.\n",   "Failed to load skin mesh from resource!/n credz.x\n"};
  EXPECT_EXIT(createSceneOnNullRefDevice(), ::testing::ExitedWithCode(5),
              ::testing::HasSubstr(messages[KQ_MISSING_RESOURCE]));
}
#else
TEST(SceneFatalDeathTest, EachMeshObjectThatCannotBeAllocatedEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Allocation order: scene, credits, train, wheels, then the eight buttons.
  const char* const messages[] = {
      "Unable to allocate a skinnable mesh - Scene \n", "Unable to allocate a skinnable mesh - credits\n",
      "Unable to allocate a skinnable mesh - train\n", "Unable to allocate a skinnable mesh - wheels\n",
      "Unable to allocate skinnable - Credits\n"};
  for (int n = 1; n <= 12; ++n) {
    EXPECT_EXIT(
        {
          failingMeshAllocation = n;
          createSceneOnNullRefDevice();
        },
        ::testing::ExitedWithCode(5), ::testing::HasSubstr(messages[std::min(n, 5) - 1]))
        << "allocation " << n;
  }
}
#endif

}  // namespace
