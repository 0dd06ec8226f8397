#include "platform/system_info.h"

#include <windows.h>

#include "platform/windows_text.h"

namespace {

// The version the system really runs: GetVersionEx answers what the manifest allows.
bool real_version(RTL_OSVERSIONINFOW* info) {
  using RtlGetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto get = ntdll ? reinterpret_cast<RtlGetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                   : nullptr;
  info->dwOSVersionInfoSize = sizeof *info;
  return get && get(info) == 0;
}

std::string registry_text(HKEY key, const wchar_t* name) {
  wchar_t value[256];
  DWORD size = sizeof value;
  if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return std::string();
  return platform::utf8_text(value);
}

}  // namespace

SystemFacts read_system_facts() {
  SystemFacts facts;
  facts.os_name = "Windows";
  RTL_OSVERSIONINFOW version;
  if (real_version(&version)) {
    facts.os_release = std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) + "." +
                       std::to_string(version.dwBuildNumber);
    facts.os_version = platform::utf8_text(version.szCSDVersion);
  }
  SYSTEM_INFO system;
  GetNativeSystemInfo(&system);
  facts.machine = system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64   ? "x86_64"
                  : system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64 ? "arm64"
                                                                                  : "x86";
  MEMORYSTATUSEX memory;
  memory.dwLength = sizeof memory;
  if (GlobalMemoryStatusEx(&memory)) facts.physical_memory = memory.ullTotalPhys;
  return facts;
}

int processor_count() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

std::vector<ProcessorFacts> read_processor_facts() {
  // The processors' names and speeds as the system describes its hardware.
  std::vector<ProcessorFacts> result;
  for (int i = 0; i < 256; ++i) {
    std::wstring path = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\" + std::to_wstring(i);
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) break;
    ProcessorFacts p;
    p.index = i;
    p.model_name = registry_text(key, L"ProcessorNameString");
    DWORD mhz = 0, size = sizeof mhz;
    if (RegGetValueW(key, nullptr, L"~MHz", RRF_RT_REG_DWORD, nullptr, &mhz, &size) == ERROR_SUCCESS) {
      p.has_mhz = true;
      p.mhz = static_cast<int>(mhz);
    }
    RegCloseKey(key);
    result.push_back(p);
  }
  return result;
}

// A Windows program names no glibc.
std::string needed_glibc_version(const std::string&) { return ""; }
