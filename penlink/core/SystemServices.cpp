#include "SystemServices.h"

#include <atomic>

namespace penlink {

namespace {
std::atomic<SystemServices*> g_testServices{nullptr};
}  // namespace

SystemServices& Services() {
    SystemServices* test = g_testServices.load(std::memory_order_acquire);
    return test != nullptr ? *test : DefaultServices();
}

void UseServices(SystemServices* services) {
    g_testServices.store(services, std::memory_order_release);
}

}  // namespace penlink
