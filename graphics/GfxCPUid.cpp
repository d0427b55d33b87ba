#include "graphics/GfxCPUid.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define PELLORAN_X86 1
#endif

namespace {

#ifdef PELLORAN_X86
constexpr unsigned long kIdFlag = 0x200000;  // bit 21 of the flags register

// Flips the ID flag and reads the flags back: the flag sticks only when CPUID exists.
bool IdFlagToggles() {
  unsigned long before = 0;
  unsigned long after = 0;
#if defined(__x86_64__)
  // Steps over the red zone first: the pushes below must not overwrite the caller's locals.
  __asm__ volatile(
      "leaq -128(%%rsp), %%rsp\n\t"
      "pushfq\n\t"
      "popq %0\n\t"
      "movq %0, %1\n\t"
      "xorq %2, %1\n\t"
      "pushq %1\n\t"
      "popfq\n\t"
      "pushfq\n\t"
      "popq %1\n\t"
      "pushq %0\n\t"
      "popfq\n\t"
      "leaq 128(%%rsp), %%rsp\n\t"
      : "=&r"(before), "=&r"(after)
      : "r"(kIdFlag)
      : "cc", "memory");
#else
  __asm__ volatile(
      "pushfl\n\t"
      "popl %0\n\t"
      "movl %0, %1\n\t"
      "xorl %2, %1\n\t"
      "pushl %1\n\t"
      "popfl\n\t"
      "pushfl\n\t"
      "popl %1\n\t"
      "pushl %0\n\t"
      "popfl\n\t"
      : "=&r"(before), "=&r"(after)
      : "r"(kIdFlag)
      : "cc", "memory");
#endif
  return ((before ^ after) & kIdFlag) != 0;
}

struct Leaf1 {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

Leaf1 ReadLeaf1() {
  Leaf1 r;
  __cpuid(1, r.eax, r.ebx, r.ecx, r.edx);
  return r;
}

constexpr uint32_t kOsxsave = 1u << 27;  // leaf 1, ECX
constexpr uint32_t kAvx2 = 1u << 5;      // leaf 7 sub-leaf 0, EBX

// XCR0, the register states the operating system saves; read only when OSXSAVE is set.
uint64_t ReadXcr0() {
  uint32_t eax = 0, edx = 0;
  __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
  return (uint64_t{edx} << 32) | eax;
}
#endif

}  // namespace

bool CpuidAvailable() {
#ifdef PELLORAN_X86
  return IdFlagToggles();
#else
  return false;
#endif
}

uint32_t CpuSignature() {
#ifdef PELLORAN_X86
  if (CpuidAvailable()) return ReadLeaf1().eax;
#endif
  return 0;
}

uint32_t CpuFeatures() {
#ifdef PELLORAN_X86
  if (CpuidAvailable()) return ReadLeaf1().edx;
#endif
  return 0;
}

bool CpuHasMmx() {
  if (!CpuidAvailable()) return false;
  if (((CpuSignature() >> 8) & 0xF) < 5) return false;
  return (CpuFeatures() & 0x800000) != 0;
}

bool CpuHasAvx2() {
#ifdef PELLORAN_X86
  if (!CpuidAvailable() || __get_cpuid_max(0, nullptr) < 7) return false;
  if ((ReadLeaf1().ecx & kOsxsave) == 0 || (ReadXcr0() & 6) != 6) return false;
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid_count(7, 0, eax, ebx, ecx, edx);
  return (ebx & kAvx2) != 0;
#else
  return false;
#endif
}
