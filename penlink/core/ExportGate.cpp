#include "ExportGate.h"

#include <string>

#include "DebugLog.h"

namespace penlink {

std::atomic<bool> ExportGate::s_busy{false};

ExportGate::ExportGate(const char* name) {
    bool expected = false;
    m_entered = s_busy.compare_exchange_strong(expected, true, std::memory_order_acq_rel);
    if (!m_entered) {
        LogFailure(std::string(name) + " refused: another call of the library is running");
    }
}

bool ExportGate::CloseForUnload() {
    bool expected = false;
    return s_busy.compare_exchange_strong(expected, true, std::memory_order_acq_rel);
}

ExportGate::~ExportGate() {
    if (m_entered) s_busy.store(false, std::memory_order_release);
}

}  // namespace penlink
