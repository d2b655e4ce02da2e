// Small objects of a compiled program (expression nodes, expressions,
// designators, statements) are made in blocks of slots of their own size: a
// program holds very many, and the heap's word and rounding for each would
// be a tenth of what they take. A block goes back to the heap when its last
// object goes. Thread-safe.
#pragma once

#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KS_HEAP_FROM_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KS_HEAP_FROM_SANITIZER 1
#endif

// Room for an object of `bytes` (aligned as operator new aligns; larger
// objects come from the heap itself); freed by ksPoolDelete with the same size.
void *ksPoolNew(std::size_t bytes);
void ksPoolDelete(void *p, std::size_t bytes) noexcept;
// Blocks held by the pool (tests).
std::size_t ksPoolBlockCount();
