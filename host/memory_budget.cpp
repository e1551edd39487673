#include "host/memory_budget.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace kvhost {
namespace {

// What one thread holds. Owned by the thread and by each block charged to
// it, so it outlives a thread that ends with blocks still granted.
struct Account {
    std::atomic<uint64_t> held{0};
    std::atomic<uint64_t> owners{1};
};

void dropOwner(Account *account)
{
    if (account->owners.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete account;
}

struct ThreadAccount {
    Account *account = new Account;
    uint64_t refusals = 0;
    ~ThreadAccount() { dropOwner(account); }
};

thread_local ThreadAccount threadAccount;
std::atomic<uint64_t> budget{0};

// Placed before each block; its size keeps the block as aligned as calloc's.
struct alignas(std::max_align_t) BlockHead {
    uint64_t bytes;
    Account *account;
};

} // namespace

void setMemoryBudget(uint64_t bytes)
{
    budget.store(bytes, std::memory_order_relaxed);
}

uint64_t memoryBudget()
{
    return budget.load(std::memory_order_relaxed);
}

uint64_t budgetRefusals()
{
    return threadAccount.refusals;
}

void *allocateCharged(uint64_t bytes)
{
    ThreadAccount &thread = threadAccount;
    const uint64_t limit = budget.load(std::memory_order_relaxed);
    const uint64_t held = thread.account->held.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    if (limit && held > limit) {
        thread.account->held.fetch_sub(bytes, std::memory_order_relaxed);
        ++thread.refusals;
        return nullptr;
    }
    void *raw = bytes <= SIZE_MAX - sizeof(BlockHead) ? std::calloc(1, sizeof(BlockHead) + size_t(bytes))
                                                      : nullptr;
    if (!raw) {
        thread.account->held.fetch_sub(bytes, std::memory_order_relaxed);
        return nullptr;
    }
    thread.account->owners.fetch_add(1, std::memory_order_relaxed);
    return new (raw) BlockHead{bytes, thread.account} + 1;
}

void releaseCharged(void *block)
{
    if (!block)
        return;
    BlockHead *head = static_cast<BlockHead *>(block) - 1;
    Account *account = head->account;
    account->held.fetch_sub(head->bytes, std::memory_order_relaxed);
    std::free(head);
    dropOwner(account);
}

} // namespace kvhost
