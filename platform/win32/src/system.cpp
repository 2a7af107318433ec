// Kernel and registry services: the thread's last error, processor information from the
// machine itself, module lookup and a registry in which nothing is found.
#include <unistd.h>

#include <windows.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

// Start of the program's own image, provided by the linker; it serves as the program's
// module handle just as the image base does on the real system.
extern "C" char __executable_start;

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

bool isPredefinedKey(HKEY key) {
  const auto value = reinterpret_cast<ULONG_PTR>(key);
  return value >= 0x80000000u && value <= 0x80000006u;
}

struct CpuidRegisters {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
};

#if defined(__x86_64__) || defined(__i386__)
CpuidRegisters cpuid(unsigned leaf) {
  CpuidRegisters r;
  if (!__get_cpuid(leaf, &r.eax, &r.ebx, &r.ecx, &r.edx)) return CpuidRegisters{};
  return r;
}
#endif

}  // namespace

extern "C" {

DWORD WINAPI GetLastError() { return t_lastError; }
void WINAPI SetLastError(DWORD error) { t_lastError = error; }

void WINAPI GetSystemInfo(LPSYSTEM_INFO info) {
  if (!info) return;
  *info = SYSTEM_INFO{};
#if defined(__x86_64__)
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
  info->dwProcessorType = 8664;  // PROCESSOR_AMD_X8664
#elif defined(__aarch64__)
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM64;
#elif defined(__i386__)
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
  info->dwProcessorType = 586;  // PROCESSOR_INTEL_PENTIUM
#else
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
#endif
  const long pageSize = sysconf(_SC_PAGESIZE);
  info->dwPageSize = pageSize > 0 ? static_cast<DWORD>(pageSize) : 4096;
  info->dwAllocationGranularity = 65536;
  info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(0x10000));
  info->lpMaximumApplicationAddress =
      reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(sizeof(void*) == 8 ? 0x7FFFFFFEFFFFull : 0x7FFEFFFFull));
  long processors = sysconf(_SC_NPROCESSORS_ONLN);
  if (processors < 1) processors = 1;
  info->dwNumberOfProcessors = static_cast<DWORD>(processors);
  const int maskBits = static_cast<int>(sizeof(DWORD_PTR) * 8);
  info->dwActiveProcessorMask = processors >= maskBits ? ~DWORD_PTR{0} : ((DWORD_PTR{1} << processors) - 1);
#if defined(__x86_64__) || defined(__i386__)
  const CpuidRegisters version = cpuid(1);
  unsigned family = (version.eax >> 8) & 0xF;
  unsigned model = (version.eax >> 4) & 0xF;
  if (family == 0xF) family += (version.eax >> 20) & 0xFF;
  if (family == 0x6 || family >= 0xF) model |= ((version.eax >> 16) & 0xF) << 4;
  info->wProcessorLevel = static_cast<WORD>(family);
  info->wProcessorRevision = static_cast<WORD>((model << 8) | (version.eax & 0xF));
#endif
}

BOOL WINAPI IsProcessorFeaturePresent(DWORD feature) {
#if defined(__x86_64__) || defined(__i386__)
  const CpuidRegisters basic = cpuid(1);
  const unsigned extendedMax = cpuid(0x80000000).eax;
  const CpuidRegisters extended = extendedMax >= 0x80000001 ? cpuid(0x80000001) : CpuidRegisters{};
  switch (feature) {
    case PF_COMPARE_EXCHANGE_DOUBLE:
      return (basic.edx >> 8) & 1;
    case PF_MMX_INSTRUCTIONS_AVAILABLE:
      return (basic.edx >> 23) & 1;
    case PF_XMMI_INSTRUCTIONS_AVAILABLE:
      return (basic.edx >> 25) & 1;
    case PF_3DNOW_INSTRUCTIONS_AVAILABLE:
      return (extended.edx >> 31) & 1;
    case PF_RDTSC_INSTRUCTION_AVAILABLE:
      return (basic.edx >> 4) & 1;
    case PF_PAE_ENABLED:
      return (basic.edx >> 6) & 1;
    case PF_XMMI64_INSTRUCTIONS_AVAILABLE:
      return (basic.edx >> 26) & 1;
    case PF_SSE3_INSTRUCTIONS_AVAILABLE:
      return basic.ecx & 1;
    default:
      return FALSE;  // no floating-point errata or emulation; others unknown here
  }
#else
  (void)feature;
  return FALSE;
#endif
}

LSTATUS WINAPI RegOpenKeyExA(HKEY, LPCSTR, DWORD, REGSAM, PHKEY result) {
  if (result) *result = nullptr;
  return ERROR_FILE_NOT_FOUND;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR, LPDWORD, LPDWORD type, LPBYTE, LPDWORD) {
  if (type) *type = REG_NONE;
  return key ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegCloseKey(HKEY key) { return isPredefinedKey(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  if (!moduleName) return reinterpret_cast<HMODULE>(&__executable_start);
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE, LPCSTR) {
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

}  // extern "C"
