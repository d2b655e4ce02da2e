#include "script/ks_pool.h"

#include <cstdint>
#include <mutex>
#include <new>

namespace {

constexpr std::size_t kBlockBytes = std::size_t(1) << 14;
constexpr std::align_val_t kBlockAlign{kBlockBytes};
constexpr std::size_t kGrain = 8;
constexpr std::size_t kLargest = 256;
constexpr std::size_t kClasses = kLargest / kGrain;

// A block starts with this; its slots follow, all of one size. Blocks are
// aligned to their size, so a slot finds its block.
struct Block {
    Block *Prev;  // in its class's list of blocks with room
    Block *Next;
    void *Free;   // freed slots, each holding the next
    char *Fresh;  // room no slot was taken from yet
    std::uint32_t Live;
    std::uint32_t Slot;  // bytes
    bool Listed;
};
constexpr std::size_t kHead = (sizeof(Block) + 15) & ~std::size_t(15);

struct Pool {
    std::mutex Lock;
    Block *Room[kClasses] = {};  // per slot size: the blocks with room
    std::size_t Blocks = 0;
};

Pool &ThePool()
{
    // Never destroyed: objects may be freed late in the process.
    static auto *pool = new Pool;
    return *pool;
}

Block *BlockOf(void *p)
{
    return reinterpret_cast<Block *>(reinterpret_cast<std::uintptr_t>(p) & ~std::uintptr_t(kBlockBytes - 1));
}

bool HasRoom(const Block *b)
{
    return b->Free || b->Fresh + b->Slot <= reinterpret_cast<const char *>(b) + kBlockBytes;
}

void List(Block *&head, Block *b)
{
    b->Prev = nullptr;
    b->Next = head;
    if (head) head->Prev = b;
    head = b;
    b->Listed = true;
}

void Unlist(Block *&head, Block *b)
{
    if (b->Prev)
        b->Prev->Next = b->Next;
    else
        head = b->Next;
    if (b->Next) b->Next->Prev = b->Prev;
    b->Prev = b->Next = nullptr;
    b->Listed = false;
}

}  // namespace

void *ksPoolNew(std::size_t bytes)
{
#ifdef KS_HEAP_FROM_SANITIZER
    return ::operator new(bytes);
#else
    if (bytes == 0 || bytes > kLargest) return ::operator new(bytes);
    const std::size_t cls = (bytes + kGrain - 1) / kGrain - 1;
    Pool &pool = ThePool();
    const std::lock_guard<std::mutex> lock(pool.Lock);
    Block *b = pool.Room[cls];
    if (!b) {
        b = static_cast<Block *>(::operator new(kBlockBytes, kBlockAlign));
        b->Free = nullptr;
        b->Fresh = reinterpret_cast<char *>(b) + kHead;
        b->Live = 0;
        b->Slot = std::uint32_t((cls + 1) * kGrain);
        List(pool.Room[cls], b);
        ++pool.Blocks;
    }
    void *p;
    if (b->Free) {
        p = b->Free;
        b->Free = *static_cast<void **>(p);
    } else {
        p = b->Fresh;
        b->Fresh += b->Slot;
    }
    ++b->Live;
    if (!HasRoom(b)) Unlist(pool.Room[cls], b);
    return p;
#endif
}

void ksPoolDelete(void *p, std::size_t bytes) noexcept
{
    if (!p) return;
#ifdef KS_HEAP_FROM_SANITIZER
    ::operator delete(p);
#else
    if (bytes == 0 || bytes > kLargest) {
        ::operator delete(p);
        return;
    }
    const std::size_t cls = (bytes + kGrain - 1) / kGrain - 1;
    Pool &pool = ThePool();
    const std::lock_guard<std::mutex> lock(pool.Lock);
    Block *b = BlockOf(p);
    *static_cast<void **>(p) = b->Free;
    b->Free = p;
    --b->Live;
    if (!b->Listed) List(pool.Room[cls], b);
    // An empty block goes back, unless it is the last with room (a program
    // making and freeing one object again and again keeps its block).
    if (b->Live == 0 && (b->Prev || b->Next)) {
        Unlist(pool.Room[cls], b);
        ::operator delete(b, kBlockAlign);
        --pool.Blocks;
    }
#endif
}

std::size_t ksPoolBlockCount()
{
    Pool &pool = ThePool();
    const std::lock_guard<std::mutex> lock(pool.Lock);
    return pool.Blocks;
}
