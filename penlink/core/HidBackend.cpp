#include "HidBackend.h"

#include <atomic>

namespace penlink {

namespace {
std::atomic<HidBackend*> g_testBackend{nullptr};
}  // namespace

HidBackend& Backend() {
    HidBackend* test = g_testBackend.load(std::memory_order_acquire);
    return test != nullptr ? *test : DefaultBackend();
}

void UseBackend(HidBackend* backend) { g_testBackend.store(backend, std::memory_order_release); }

}  // namespace penlink
