#include "UhidPen.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "emulator/PenSideCodec.h"

namespace penlink::virtualpen {

namespace {

constexpr uint16_t kBusUsb = 0x03;
constexpr auto kListingInterval = std::chrono::milliseconds(50);
constexpr auto kNodeWait = std::chrono::seconds(20);

std::string Errno(const char* call, int code) {
    return std::string(call) + " failed: " + std::strerror(code);
}

void CopyText(uint8_t* into, size_t capacity, const std::string& text) {
    std::memset(into, 0, capacity);
    std::memcpy(into, text.data(), std::min(text.size(), capacity - 1));
}

}  // namespace

UhidPen::UhidPen(std::shared_ptr<emulator::EmulatedPen> pen,
                 std::function<void(const std::string&)> announce, std::string phys)
    : m_pen(std::move(pen)), m_announce(std::move(announce)), m_phys(std::move(phys)) {}

UhidPen::~UhidPen() {
    Stop();
    m_cancelDeliver.store(true);
    m_pen->Wake();
    m_stateChanged.notify_all();
    if (m_inputPump.joinable()) m_inputPump.join();
    if (m_reader.joinable()) m_reader.join();
    if (m_fd >= 0) ::close(m_fd);
    if (m_stopFd >= 0) ::close(m_stopFd);
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

bool UhidPen::Start(std::string& error) {
    m_ring.resize(kRingSize);
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0 || m_wakeFd < 0) {
        error = Errno("eventfd", errno);
        return false;
    }
    m_fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) {
        error = Errno("open /dev/uhid", errno);
        return false;
    }
    if (!Create(error)) return false;
    m_reader = std::thread(&UhidPen::ReadLoop, this);
    // The reader must run the moment an event is queued: it goes first where
    // the system lets it (root, or CAP_SYS_NICE), and simply keeps up
    // otherwise.
    sched_param param{};
    param.sched_priority = 10;
    const int refused = pthread_setschedparam(m_reader.native_handle(), SCHED_FIFO, &param);
    if (refused != 0) {
        std::fprintf(stderr, "virtual pen: the reader runs at normal priority (%s)\n",
                     std::strerror(refused));
    }
    m_inputPump = std::thread(&UhidPen::InputLoop, this);
    return true;
}

void UhidPen::Stop() {
    m_stopping.store(true);
    if (m_stopFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_stopFd, &one, sizeof one);
    }
}

bool UhidPen::WriteEvent(const uhid_event& event, std::string& error) {
    for (;;) {
        if (::write(m_fd, &event, sizeof event) >= 0) return true;
        if (errno == EINTR) continue;
        error = Errno("write /dev/uhid", errno);
        return false;
    }
}

bool UhidPen::Create(std::string& error) {
    auto event = std::make_unique<uhid_event>();
    std::memset(event.get(), 0, sizeof *event);
    event->type = UHID_CREATE2;
    uhid_create2_req& req = event->u.create2;
    m_uniq = "virtualpen-" + std::to_string(::getpid()) + "-" + std::to_string(++m_incarnation);
    CopyText(req.name, sizeof req.name, "Penlink virtual pen");
    CopyText(req.phys, sizeof req.phys, m_phys);
    CopyText(req.uniq, sizeof req.uniq, m_uniq);
    const std::vector<uint8_t> descriptor =
        emulator::penside::ReportDescriptor(m_pen->InputLength(), m_pen->OutputLength());
    req.rd_size = static_cast<uint16_t>(descriptor.size());
    std::memcpy(req.rd_data, descriptor.data(), descriptor.size());
    req.bus = kBusUsb;
    req.vendor = m_pen->VendorId();
    req.product = m_pen->ProductId();
    req.version = 0x0100;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_created = true;
        m_up = false;
        m_generation = m_pen->Generation();
    }
    return WriteEvent(*event, error);
}

void UhidPen::Destroy() {
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        if (!m_created) return;
        m_created = false;
        m_up = false;
    }
    m_stateChanged.notify_all();
    uhid_event event{};
    event.type = UHID_DESTROY;
    std::string error;
    if (!WriteEvent(event, error)) std::fprintf(stderr, "virtual pen: %s\n", error.c_str());
}

void UhidPen::ReadLoop() {
    const uint64_t one = 1;
    for (;;) {
        // Everything queued now, one read a report, and only then one
        // wake-up for Run: the fewer system calls here, the sooner the next
        // report is taken.
        bool taken = false;
        for (;;) {
            const uint64_t head = m_readHead.load(std::memory_order_relaxed);
            if (head - m_readTail.load(std::memory_order_acquire) == kRingSize) {
                m_ringFull.fetch_add(1);
                [[maybe_unused]] const ssize_t w = ::write(m_wakeFd, &one, sizeof one);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            const ssize_t n = ::read(m_fd, &m_ring[head % kRingSize], sizeof(uhid_event));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) break;
            if (n < 0) {
                m_readErrno.store(errno);
                m_readFailed.store(true);
                [[maybe_unused]] const ssize_t w = ::write(m_wakeFd, &one, sizeof one);
                return;
            }
            m_readHead.store(head + 1, std::memory_order_release);
            taken = true;
        }
        if (taken) {
            [[maybe_unused]] const ssize_t w = ::write(m_wakeFd, &one, sizeof one);
        }
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            m_readErrno.store(errno);
            m_readFailed.store(true);
            break;
        }
        if (fds[1].revents & POLLIN) break;
    }
    [[maybe_unused]] const ssize_t w = ::write(m_wakeFd, &one, sizeof one);
}

bool UhidPen::Run(std::string& error) {
    while (!m_stopping.load()) {
        pollfd wake{m_wakeFd, POLLIN, 0};
        const auto interval = std::chrono::milliseconds(kListingInterval).count();
        if (::poll(&wake, 1, static_cast<int>(interval)) > 0) {
            uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &count, sizeof count);
        }
        const uint64_t head = m_readHead.load(std::memory_order_acquire);
        for (uint64_t tail = m_readTail.load(std::memory_order_relaxed); tail != head; ++tail) {
            HandleEvent(m_ring[tail % kRingSize]);
            m_readTail.store(tail + 1, std::memory_order_release);
        }
        if (m_readFailed.load() && head == m_readHead.load()) {
            error = Errno("read /dev/uhid", m_readErrno.load());
            break;
        }
        bool created;
        {
            std::lock_guard<std::mutex> lock(m_stateMutex);
            created = m_created;
        }
        // One look at the bus per interval, as the library's search looks:
        // the model says when it is back, and when it leaves by itself (a
        // restart after a lone closing command).
        const bool onBus = m_pen->OnListing();
        if (created && !onBus) Destroy();
        if (!created && onBus && !Create(error)) break;
    }
    Destroy();
    return error.empty();
}

void UhidPen::HandleEvent(const uhid_event& event) {
    std::string error;
    switch (event.type) {
        case UHID_START: {
            std::string node;
            {
                std::lock_guard<std::mutex> lock(m_stateMutex);
                if (!m_created) return;
                m_up = true;
            }
            m_stateChanged.notify_all();
            node = FindNode();
            m_announce(std::string(m_pen->InUpdateMode() ? "update " : "normal ") +
                       (node.empty() ? "(no hidraw node)" : node));
            return;
        }
        case UHID_STOP: {
            std::lock_guard<std::mutex> lock(m_stateMutex);
            m_up = false;
            return;
        }
        case UHID_OPEN: m_pen->RecordEvent("opened " + m_uniq); return;
        case UHID_CLOSE: m_pen->RecordEvent("closed " + m_uniq); return;
        case UHID_OUTPUT: {
            bool up;
            {
                std::lock_guard<std::mutex> lock(m_stateMutex);
                up = m_up;
            }
            // Reports queued for a device that has since been destroyed.
            if (!up) {
                m_dropped.fetch_add(1);
                return;
            }
            SysError err;
            const size_t size = std::min<size_t>(event.u.output.size, UHID_DATA_MAX);
            // uhid has no way to fail the host's write: what the pen model
            // makes of a report shows in its transcript and violations.
            (void)m_pen->Receive(event.u.output.data, size, err);
            if (!m_pen->OnBus()) Destroy();
            return;
        }
        case UHID_GET_REPORT: {
            // The pen has no feature reports.
            uhid_event reply{};
            reply.type = UHID_GET_REPORT_REPLY;
            reply.u.get_report_reply.id = event.u.get_report.id;
            reply.u.get_report_reply.err = EIO;
            if (!WriteEvent(reply, error)) std::fprintf(stderr, "virtual pen: %s\n", error.c_str());
            return;
        }
        case UHID_SET_REPORT: {
            uhid_event reply{};
            reply.type = UHID_SET_REPORT_REPLY;
            reply.u.set_report_reply.id = event.u.set_report.id;
            reply.u.set_report_reply.err = EIO;
            if (!WriteEvent(reply, error)) std::fprintf(stderr, "virtual pen: %s\n", error.c_str());
            return;
        }
        default: return;
    }
}

void UhidPen::InputLoop() {
    std::vector<uint8_t> report(m_pen->InputLength());
    while (!m_stopping.load()) {
        uint64_t generation;
        {
            std::unique_lock<std::mutex> lock(m_stateMutex);
            m_stateChanged.wait_for(lock, kListingInterval,
                                    [this] { return m_up || m_stopping.load(); });
            if (!m_up) continue;
            generation = m_generation;
        }
        size_t got = 0;
        const IoStatus status =
            m_pen->Deliver(generation, report.data(), report.size(), got, 200, m_cancelDeliver);
        if (status != IoStatus::Ok) {
            if (status == IoStatus::DeviceStopped) {
                // Wait for the next device (or the end).
                std::unique_lock<std::mutex> lock(m_stateMutex);
                m_stateChanged.wait_for(lock, kListingInterval, [&] {
                    return m_stopping.load() || (m_up && m_generation != generation);
                });
            }
            continue;
        }
        // The model's reports carry the report ID 0x00 first; a device
        // without numbered reports sends only the data bytes after it.
        uhid_event event{};
        event.type = UHID_INPUT2;
        const size_t size = got > 0 ? got - 1 : 0;
        event.u.input2.size = static_cast<uint16_t>(size);
        std::memcpy(event.u.input2.data, report.data() + 1, size);
        std::string error;
        if (!WriteEvent(event, error)) std::fprintf(stderr, "virtual pen: %s\n", error.c_str());
    }
}

std::string UhidPen::FindNode() const {
    namespace fs = std::filesystem;
    const std::string key = "HID_UNIQ=" + m_uniq + "\n";
    const auto until = std::chrono::steady_clock::now() + kNodeWait;
    while (std::chrono::steady_clock::now() < until && !m_stopping.load()) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/sys/class/hidraw", ec)) {
            std::ifstream uevent(entry.path() / "device" / "uevent");
            const std::string text((std::istreambuf_iterator<char>(uevent)),
                                   std::istreambuf_iterator<char>());
            const std::string node = "/dev/" + entry.path().filename().string();
            if (text.find(key) != std::string::npos && fs::exists(node, ec)) return node;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
}

}  // namespace penlink::virtualpen
