// Processor feature test: whether the CPUID instruction exists and whether the processor has MMX, and
// whether it offers AVX2 for the wide pixel loops (GfxSimd.h; SSE2 is part of every x86-64 processor).
#pragma once

#include <cstdint>

// True when bit 21 of the flags register can be toggled, i.e. the CPUID instruction exists.
[[nodiscard]] bool CpuidAvailable();
// EAX of CPUID leaf 1 (0 without CPUID).
[[nodiscard]] uint32_t CpuSignature();
// EDX of CPUID leaf 1 (0 without CPUID).
[[nodiscard]] uint32_t CpuFeatures();
// True when CPUID exists, the family field of the signature is at least 5 and the MMX feature bit is set.
[[nodiscard]] bool CpuHasMmx();
// True when CPUID reports AVX2 (leaf 7, bit 5 of EBX) and the operating system saves the 256-bit registers
// (OSXSAVE set, and XCR0 enables the SSE and AVX state).
[[nodiscard]] bool CpuHasAvx2();
