// Stands in for the storage driver's answer to IOCTL_SCSI_GET_CAPABILITIES under Wine, which
// answers that query in its own code with a MaximumTransferLength of 32,768 where a real ATAPI
// or SCSI driver reports 64 KiB or more. A library preloaded (LD_PRELOAD) into the program's
// process, before the SG_IO emulator: at the process's first SG_IO request, when kernelbase.dll
// is mapped and its imports bound, it points kernelbase.dll's import of
// ntdll.dll!NtDeviceIoControlFile at a wrapper that passes every call on and changes the answer
// to the capability query. The program's own code and memory stay untouched.
//
// Set up through the environment:
//   FWU_WINE_TRANSFER_LIMIT  a number: the MaximumTransferLength the query answers with;
//                            "fail": the query fails (STATUS_INVALID_DEVICE_REQUEST, which the
//                            program sees as error 1), as a driver that does not know it does;
//                            unset: the library does nothing.
//   FWU_WINE_PATCH_LOG       a file the library appends its lines to, each opening with the
//                            process id and name:
//                              "wrapper installed: ..." once it is in place;
//                              "wrapper not installed: REASON" when it cannot be put in place;
//                              "capability query answered with MaximumTransferLength N instead
//                              of M" or "capability query failed" for each query, written at
//                              the next ioctl of the process or at its end.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <dlfcn.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kIoctlScsiGetCapabilities = 0x41010;
constexpr std::int32_t kStatusSuccess = 0;
constexpr auto kStatusInvalidDeviceRequest = static_cast<std::int32_t>(0xC0000010U);
constexpr std::size_t kMaximumTransferLengthOffset = 4;  // in IO_SCSI_CAPABILITIES

struct IoStatusBlock {
  union {
    std::int32_t status;
    void* pointer;
  };
  std::uintptr_t information;
};

// ntdll.dll!NtDeviceIoControlFile, with the Windows calling convention.
using NtDeviceIoControlFile = std::int32_t(__attribute__((ms_abi)) *)(
    void* file, void* event, void* apc, void* apc_context, IoStatusBlock* io, std::uint32_t code,
    void* input, std::uint32_t input_size, void* output, std::uint32_t output_size);

// What the wrapper needs, read before it is installed and never changed after.
struct Answer {
  bool fail = false;
  std::uint32_t limit = 0;
};
Answer g_answer;
std::atomic<NtDeviceIoControlFile> g_original{nullptr};
// Counted by the wrapper, which runs as Windows code and so calls nothing of the C library.
std::atomic<unsigned> g_queries{0};
std::atomic<std::uint32_t> g_last_original_limit{0};

__attribute__((ms_abi)) std::int32_t Wrapper(void* file, void* event, void* apc, void* apc_context,
                                             IoStatusBlock* io, std::uint32_t code, void* input,
                                             std::uint32_t input_size, void* output,
                                             std::uint32_t output_size) {
  const NtDeviceIoControlFile original = g_original.load(std::memory_order_acquire);
  if (code != kIoctlScsiGetCapabilities) {
    return original(file, event, apc, apc_context, io, code, input, input_size, output,
                    output_size);
  }
  if (g_answer.fail) {
    if (io != nullptr) {
      io->status = kStatusInvalidDeviceRequest;
      io->information = 0;
    }
    g_queries.fetch_add(1);
    return kStatusInvalidDeviceRequest;
  }
  const std::int32_t status =
      original(file, event, apc, apc_context, io, code, input, input_size, output, output_size);
  if (status == kStatusSuccess && output != nullptr &&
      output_size >= kMaximumTransferLengthOffset + sizeof(std::uint32_t)) {
    auto* const limit = static_cast<std::uint8_t*>(output) + kMaximumTransferLengthOffset;
    std::uint32_t before = 0;
    std::memcpy(&before, limit, sizeof before);
    std::memcpy(limit, &g_answer.limit, sizeof g_answer.limit);
    g_last_original_limit.store(before);
    g_queries.fetch_add(1);
  }
  return status;
}

// The process's memory at an address that comes as a number: from /proc/self/maps, or from an
// image's headers.
void* MemoryAt(std::uintptr_t address) {
  return reinterpret_cast<void*>(address);  // NOLINT(performance-no-int-to-ptr)
}

// One line of /proc/self/maps.
struct Mapping {
  std::uintptr_t start = 0;
  std::uintptr_t end = 0;
  int protection = 0;
  std::uintptr_t offset = 0;
  std::string path;
};

std::vector<Mapping> Mappings() {
  std::vector<Mapping> mappings;
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  if (maps == nullptr) {
    return mappings;
  }
  char line[4096];
  while (std::fgets(line, sizeof line, maps) != nullptr) {
    Mapping mapping;
    char permissions[8] = {};
    unsigned long long start = 0;
    unsigned long long end = 0;
    unsigned long long offset = 0;
    int path_at = 0;
    if (std::sscanf(line, "%llx-%llx %7s %llx %*s %*s %n", &start, &end, permissions, &offset,
                    &path_at) < 4) {
      continue;
    }
    mapping.start = start;
    mapping.end = end;
    mapping.offset = offset;
    mapping.protection = (permissions[0] == 'r' ? PROT_READ : 0) |
                         (permissions[1] == 'w' ? PROT_WRITE : 0) |
                         (permissions[2] == 'x' ? PROT_EXEC : 0);
    mapping.path = line + path_at;
    while (!mapping.path.empty() && std::isspace(static_cast<unsigned char>(mapping.path.back()))) {
      mapping.path.pop_back();
    }
    mappings.push_back(std::move(mapping));
  }
  std::fclose(maps);
  return mappings;
}

bool NamesModule(const std::string& path, std::string_view module) {
  if (path.size() < module.size() + 1 || path[path.size() - module.size() - 1] != '/') {
    return false;
  }
  return std::equal(module.begin(), module.end(), path.end() - static_cast<long>(module.size()),
                    [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

// Reads a little-endian value of the image, inside its SizeOfImage.
class Image {
 public:
  explicit Image(std::uintptr_t base) : base_(base) {}

  template <typename T>
  std::optional<T> Read(std::uint64_t rva) const {
    if (size_ != 0 && rva + sizeof(T) > size_) {
      return std::nullopt;
    }
    T value{};
    std::memcpy(&value, MemoryAt(base_ + rva), sizeof value);
    return value;
  }
  std::optional<std::string> Name(std::uint64_t rva) const {
    std::string name;
    for (std::uint64_t at = rva; name.size() < 256; ++at) {
      const auto c = Read<char>(at);
      if (!c) {
        return std::nullopt;
      }
      if (*c == '\0') {
        return name;
      }
      name += *c;
    }
    return std::nullopt;
  }
  void SetSize(std::uint32_t size) { size_ = size; }
  std::uintptr_t Address(std::uint64_t rva) const { return base_ + rva; }

 private:
  std::uintptr_t base_;
  std::uint64_t size_ = 0;
};

// The import address table slot of ntdll.dll!NtDeviceIoControlFile in the module at `base`,
// or why there is none.
std::optional<std::uintptr_t> ImportSlot(std::uintptr_t base, std::string& reason) {
  Image image(base);
  const auto dos_magic = image.Read<std::uint16_t>(0);
  const auto nt_offset = image.Read<std::uint32_t>(0x3C);
  if (dos_magic != 0x5A4D || !nt_offset || image.Read<std::uint32_t>(*nt_offset) != 0x4550U) {
    reason = "kernelbase.dll has no PE header where it is mapped";
    return std::nullopt;
  }
  const std::uint64_t optional_header = *nt_offset + 24U;
  const auto size_of_image = image.Read<std::uint32_t>(optional_header + 56);
  const auto directories = image.Read<std::uint32_t>(optional_header + 108);
  const auto imports = image.Read<std::uint32_t>(optional_header + 120);
  if (image.Read<std::uint16_t>(optional_header) != 0x20B || !size_of_image || !directories ||
      *directories < 2 || !imports || *imports == 0) {
    reason = "kernelbase.dll is no 64-bit image with imports";
    return std::nullopt;
  }
  image.SetSize(*size_of_image);
  for (std::uint64_t descriptor = *imports;; descriptor += 20) {
    const auto names = image.Read<std::uint32_t>(descriptor);
    const auto module = image.Read<std::uint32_t>(descriptor + 12);
    const auto slots = image.Read<std::uint32_t>(descriptor + 16);
    if (!names || !module || !slots || *module == 0) {
      break;
    }
    const auto module_name = image.Name(*module);
    if (!module_name || !NamesModule("/" + *module_name, "ntdll.dll")) {
      continue;
    }
    for (std::uint64_t i = 0;; ++i) {
      const auto thunk = image.Read<std::uint64_t>(*names + i * 8);
      if (!thunk || *thunk == 0) {
        break;
      }
      if ((*thunk >> 63U) != 0) {
        continue;  // imported by ordinal
      }
      if (image.Name(*thunk + 2) == std::string("NtDeviceIoControlFile")) {
        const auto bound = image.Read<std::uint64_t>(*slots + i * 8);
        if (!bound || *bound == *thunk) {
          reason = "the import of NtDeviceIoControlFile is not bound yet";
          return std::nullopt;
        }
        return image.Address(*slots + i * 8);
      }
    }
  }
  reason = "kernelbase.dll does not import ntdll.dll!NtDeviceIoControlFile";
  return std::nullopt;
}

class Patch {
 public:
  Patch() {
    const char* limit = std::getenv("FWU_WINE_TRANSFER_LIMIT");
    const char* log = std::getenv("FWU_WINE_PATCH_LOG");
    log_ = log == nullptr ? std::string() : std::string(log);
    if (limit == nullptr || *limit == '\0') {
      return;
    }
    char* end = nullptr;
    const unsigned long value = std::strtoul(limit, &end, 10);
    if (std::string_view(limit) == "fail") {
      g_answer.fail = true;
    } else if (*end == '\0' && value > 0 && value <= 0xFFFFFFFFUL) {
      g_answer.limit = static_cast<std::uint32_t>(value);
    } else {
      Log(std::string("wrapper not installed: FWU_WINE_TRANSFER_LIMIT \"") + limit +
          "\" is neither a number nor \"fail\"");
      return;
    }
    wanted_ = true;
  }

  // At every SG_IO request: installs the wrapper once kernelbase.dll is ready for it, and
  // writes the lines of the queries answered since the last call.
  void AtRequest() {
    if (!wanted_) {
      return;
    }
    const std::lock_guard lock(mutex_);
    if (!installed_ && !gave_up_) {
      Install();
    }
    ReportQueries();
  }

  // At the process's end: the queries answered since the last request.
  void AtExit() {
    if (wanted_) {
      const std::lock_guard lock(mutex_);
      ReportQueries();
    }
  }

 private:
  void Install() {
    const std::vector<Mapping> mappings = Mappings();
    const auto kernelbase = std::ranges::find_if(mappings, [](const Mapping& m) {
      return m.offset == 0 && NamesModule(m.path, "kernelbase.dll");
    });
    if (kernelbase == mappings.end()) {
      return;  // not mapped yet; the next request looks again
    }
    std::string reason;
    const std::optional<std::uintptr_t> slot = ImportSlot(kernelbase->start, reason);
    if (!slot) {
      if (reason.find("not bound yet") == std::string::npos) {
        GiveUp(reason);
      }
      return;
    }
    const auto page = std::ranges::find_if(
        mappings, [&](const Mapping& m) { return m.start <= *slot && *slot < m.end; });
    std::uint64_t bound = 0;
    std::memcpy(&bound, MemoryAt(*slot), sizeof bound);
    const bool into_ntdll = std::ranges::any_of(mappings, [&](const Mapping& m) {
      return NamesModule(m.path, "ntdll.dll") && m.start <= bound && bound < m.end;
    });
    if (page == mappings.end() || !into_ntdll) {
      GiveUp("the import of NtDeviceIoControlFile does not lead into ntdll.dll");
      return;
    }
    const auto page_size = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    void* const page_start = MemoryAt(*slot & ~(page_size - 1));
    if (mprotect(page_start, page_size, page->protection | PROT_READ | PROT_WRITE) != 0) {
      GiveUp(std::string("the import table cannot be written: ") + std::strerror(errno));
      return;
    }
    NtDeviceIoControlFile original = nullptr;
    std::memcpy(&original, &bound, sizeof original);
    g_original.store(original, std::memory_order_release);
    const NtDeviceIoControlFile wrapper = &Wrapper;
    std::memcpy(MemoryAt(*slot), &wrapper, sizeof wrapper);
    mprotect(page_start, page_size, page->protection);
    installed_ = true;
    char where[160];
    std::snprintf(
        where, sizeof where, "wrapper installed: kernelbase.dll at %#llx, import slot %#llx",
        static_cast<unsigned long long>(kernelbase->start), static_cast<unsigned long long>(*slot));
    Log(std::string(where) + "; IOCTL_SCSI_GET_CAPABILITIES " +
        (g_answer.fail ? std::string("fails")
                       : "answers MaximumTransferLength " + std::to_string(g_answer.limit)));
  }

  void GiveUp(const std::string& reason) {
    gave_up_ = true;
    Log("wrapper not installed: " + reason);
  }

  void ReportQueries() {
    const unsigned queries = g_queries.load();
    for (; reported_ < queries; ++reported_) {
      Log(g_answer.fail ? std::string("capability query failed")
                        : "capability query answered with MaximumTransferLength " +
                              std::to_string(g_answer.limit) + " instead of " +
                              std::to_string(g_last_original_limit.load()));
    }
  }

  void Log(const std::string& line) const {
    if (log_.empty()) {
      return;
    }
    std::string process;
    if (std::FILE* file = std::fopen("/proc/self/cmdline", "rb")) {
      char command[256] = {};
      std::fread(command, 1, sizeof command - 1, file);
      std::fclose(file);
      process = command;
    }
    if (std::FILE* file = std::fopen(log_.c_str(), "a")) {
      std::fprintf(file, "pid %d %s: %s\n", static_cast<int>(getpid()), process.c_str(),
                   line.c_str());
      std::fclose(file);
    }
  }

  std::string log_;
  bool wanted_ = false;
  std::mutex mutex_;
  bool installed_ = false;
  bool gave_up_ = false;
  unsigned reported_ = 0;
};

std::atomic<Patch*> g_patch{nullptr};

// Built at the first request, never destroyed: other threads may still call while the process
// ends.
Patch& ThePatch() {
  static Patch* const patch = [] {
    auto* made = new Patch();
    g_patch.store(made);
    return made;
  }();
  return *patch;
}

__attribute__((destructor)) void ReportAtExit() {
  if (Patch* patch = g_patch.load()) {
    patch->AtExit();
  }
}

using IoctlFunction = int (*)(int, unsigned long, ...);

IoctlFunction NextIoctl() {
  static const auto next = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl"));
  return next;
}

}  // namespace

// NOLINTNEXTLINE(readability-identifier-naming): the C library's name, which this replaces
extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list arguments;
  va_start(arguments, request);
  void* const argument = va_arg(arguments, void*);
  va_end(arguments);
  if (request == SG_IO) {
    try {
      ThePatch().AtRequest();
    } catch (...) {
      // The request itself goes on; a missing wrapper shows in the log.
    }
  }
  const IoctlFunction next = NextIoctl();
  if (next == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  return next(fd, request, argument);
}
