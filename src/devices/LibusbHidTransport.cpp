#include "LibusbHidTransport.h"

#include <cerrno>
#include <poll.h>

#include <QSocketNotifier>

#include <libusb.h>

#include "core/DCLog.h"
#include "devices/HidEventRelay.h"
#include "devices/UsbSysfs.h"

namespace {

constexpr uint8_t kHidClass = 3;
constexpr uint8_t kSetReport = 0x09;
constexpr uint8_t kGetReport = 0x01;
constexpr uint16_t kReportTypeInput = 1;
constexpr uint16_t kReportTypeOutput = 2;
constexpr uint8_t kClassToInterfaceOut = 0x21; // host to device, class, interface
constexpr uint8_t kClassToInterfaceIn = 0xA1;  // device to host, class, interface
// Event reports are a few bytes; a larger packet size is the descriptor's, not ours to allocate.
constexpr uint16_t kMaxEventPacket = 1024;
// Consecutive failed event transfers after which reading stops (a stalled endpoint does not recover).
constexpr int kMaxFailedTransfers = 8;
constexpr int kMaxPorts = 7;

unsigned int timeoutOf(std::chrono::milliseconds timeout) {
    return static_cast<unsigned int>(std::max<int64_t>(1, timeout.count()));
}

// The location ID of a libusb device, built as discovery builds it from sysfs.
std::optional<uint32_t> locationOf(libusb_device *device) {
    uint8_t ports[kMaxPorts];
    const int count = libusb_get_port_numbers(device, ports, kMaxPorts);
    if (count <= 0) return std::nullopt;
    QString devpath;
    for (int i = 0; i < count; ++i) {
        if (i) devpath += QLatin1Char('.');
        devpath += QString::number(ports[i]);
    }
    return UsbSysfs::locationId(libusb_get_bus_number(device), devpath);
}

struct HidInterface {
    uint8_t number = 0;
    uint8_t endpoint = 0;
    uint16_t packetSize = 0;
};

std::optional<HidInterface> findHidInterface(libusb_device *device) {
    libusb_config_descriptor *config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0 || !config) return std::nullopt;
    std::optional<HidInterface> found;
    for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
        const libusb_interface &interface = config->interface[i];
        if (interface.num_altsetting < 1) continue;
        const libusb_interface_descriptor &alt = interface.altsetting[0];
        if (alt.bInterfaceClass != kHidClass) continue;
        HidInterface hid{alt.bInterfaceNumber, 0, 0};
        for (int e = 0; e < alt.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor &ep = alt.endpoint[e];
            const bool interruptIn = (ep.bmAttributes & 0x03) == LIBUSB_TRANSFER_TYPE_INTERRUPT &&
                                     (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN);
            if (interruptIn) {
                hid.endpoint = ep.bEndpointAddress;
                hid.packetSize = std::min<uint16_t>(ep.wMaxPacketSize & 0x7FF, kMaxEventPacket);
                break;
            }
        }
        found = hid;
    }
    libusb_free_config_descriptor(config);
    return found;
}

} // namespace

int LibusbHidTransport::errnoOf(int e) {
    switch (e) {
    case LIBUSB_SUCCESS:
        return 0;
    case LIBUSB_ERROR_IO:
        return -EIO;
    case LIBUSB_ERROR_INVALID_PARAM:
        return -EINVAL;
    case LIBUSB_ERROR_ACCESS:
        return -EACCES;
    case LIBUSB_ERROR_NO_DEVICE:
        return -ENODEV;
    case LIBUSB_ERROR_NOT_FOUND:
        return -ENOENT;
    case LIBUSB_ERROR_BUSY:
        return -EBUSY;
    case LIBUSB_ERROR_TIMEOUT:
        return -ETIMEDOUT;
    case LIBUSB_ERROR_OVERFLOW:
        return -EOVERFLOW;
    case LIBUSB_ERROR_PIPE:
        return -EPIPE;
    case LIBUSB_ERROR_INTERRUPTED:
        return -EINTR;
    case LIBUSB_ERROR_NO_MEM:
        return -ENOMEM;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return -ENOTSUP;
    default:
        return -EIO;
    }
}

std::unique_ptr<LibusbHidTransport> LibusbHidTransport::open(const UsbDeviceProperties &wanted, int *error) {
    auto fail = [error](int code) {
        if (error) *error = code;
        return nullptr;
    };
    std::unique_ptr<LibusbHidTransport> t(new LibusbHidTransport);
    if (const int r = libusb_init(&t->context_); r != 0) {
        t->context_ = nullptr;
        return fail(errnoOf(r));
    }
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(t->context_, &list);
    if (count < 0) return fail(errnoOf(static_cast<int>(count)));
    int result = -ENODEV;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device *device = list[i];
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != 0) continue;
        if (descriptor.idVendor != wanted.idVendor || descriptor.idProduct != wanted.idProduct) continue;
        if (locationOf(device) != wanted.locationID) continue;
        const auto hid = findHidInterface(device);
        if (!hid) {
            result = -ENOENT;
            break;
        }
        if (const int r = libusb_open(device, &t->handle_); r != 0) {
            t->handle_ = nullptr;
            result = errnoOf(r);
            break;
        }
        t->releaseNumber_ = descriptor.bcdDevice;
        t->interfaceNumber_ = hid->number;
        t->eventEndpoint_ = hid->endpoint;
        t->eventPacketSize_ = hid->packetSize;
        result = 0;
        break;
    }
    libusb_free_device_list(list, 1);
    if (result != 0) return fail(result);
    return t;
}

LibusbHidTransport::~LibusbHidTransport() {
    close();
    if (context_) libusb_exit(context_);
}

int LibusbHidTransport::seize() {
    if (closed_ || !handle_) return -ENODEV;
    if (claimed_) return 0;
    const int active = libusb_kernel_driver_active(handle_, interfaceNumber_);
    if (active == 1) {
        if (const int r = libusb_detach_kernel_driver(handle_, interfaceNumber_); r != 0) return errnoOf(r);
        driverDetached_ = true;
    }
    if (const int r = libusb_claim_interface(handle_, interfaceNumber_); r != 0) {
        if (driverDetached_) libusb_attach_kernel_driver(handle_, interfaceNumber_);
        driverDetached_ = false;
        return errnoOf(r);
    }
    claimed_ = true;
    return 0;
}

int LibusbHidTransport::setReport(uint8_t reportId, std::span<const uint8_t> data,
                                  std::chrono::milliseconds timeout) {
    if (closed_ || !handle_) return -ENODEV;
    if (data.size() > UINT16_MAX) return -EINVAL;
    // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
    const int r = libusb_control_transfer(handle_, kClassToInterfaceOut, kSetReport,
                                          static_cast<uint16_t>(kReportTypeOutput << 8 | reportId),
                                          interfaceNumber_, const_cast<uint8_t *>(data.data()),
                                          static_cast<uint16_t>(data.size()), timeoutOf(timeout));
    if (r < 0) return errnoOf(r);
    return static_cast<size_t>(r) == data.size() ? 0 : -EIO;
}

int LibusbHidTransport::getReport(uint8_t reportId, std::span<uint8_t> out,
                                  std::chrono::milliseconds timeout) {
    if (closed_ || !handle_) return -ENODEV;
    if (out.size() > UINT16_MAX) return -EINVAL;
    const int r = libusb_control_transfer(
        handle_, kClassToInterfaceIn, kGetReport, static_cast<uint16_t>(kReportTypeInput << 8 | reportId),
        interfaceNumber_, out.data(), static_cast<uint16_t>(out.size()), timeoutOf(timeout));
    if (r < 0) return errnoOf(r);
    // A short answer is not the report asked for.
    return static_cast<size_t>(r) == out.size() ? 0 : -EIO;
}

int LibusbHidTransport::startEvents(EventHandler handler) {
    if (closed_ || !handle_) return -ENODEV;
    if (relay_) return -EBUSY;
    if (!eventEndpoint_ || !eventPacketSize_) return -ENOENT;
    relay_ = std::make_shared<HidEventRelay>(std::move(handler));
    libusb_set_pollfd_notifiers(context_, &LibusbHidTransport::onDescriptorAdded,
                                &LibusbHidTransport::onDescriptorRemoved, this);
    if (const libusb_pollfd **fds = libusb_get_pollfds(context_)) {
        for (const libusb_pollfd **p = fds; *p; ++p)
            watchDescriptor((*p)->fd, (*p)->events);
        libusb_free_pollfds(fds);
    }
    eventBuffer_.assign(eventPacketSize_, 0);
    eventTransfer_ = libusb_alloc_transfer(0);
    if (!eventTransfer_) return -ENOMEM;
    return submitEventTransfer();
}

int LibusbHidTransport::submitEventTransfer() {
    libusb_fill_interrupt_transfer(eventTransfer_, handle_, eventEndpoint_, eventBuffer_.data(),
                                   static_cast<int>(eventBuffer_.size()), &LibusbHidTransport::onTransfer,
                                   this, 0);
    eventTransferActive_ = true;
    if (const int r = libusb_submit_transfer(eventTransfer_); r != 0) {
        eventTransferActive_ = false;
        return errnoOf(r);
    }
    return 0;
}

void LibusbHidTransport::onTransfer(libusb_transfer *transfer) {
    auto *self = static_cast<LibusbHidTransport *>(transfer->user_data);
    switch (transfer->status) {
    case LIBUSB_TRANSFER_COMPLETED:
        self->failedTransfers_ = 0;
        HidEventRelay::deliver(
            self->relay_,
            std::span<const uint8_t>(transfer->buffer, static_cast<size_t>(transfer->actual_length)));
        break;
    case LIBUSB_TRANSFER_CANCELLED:
        self->eventTransferActive_ = false;
        return;
    case LIBUSB_TRANSFER_NO_DEVICE:
        DCLog("event reports stopped: the device is gone");
        self->eventTransferActive_ = false;
        return;
    default:
        if (++self->failedTransfers_ >= kMaxFailedTransfers) {
            DCLog("event reports stopped after %d failed transfers (status %d)", self->failedTransfers_,
                  static_cast<int>(transfer->status));
            self->eventTransferActive_ = false;
            return;
        }
        break;
    }
    if (self->closed_ || libusb_submit_transfer(transfer) != 0) self->eventTransferActive_ = false;
}

void LibusbHidTransport::serviceEvents() {
    timeval zero{0, 0};
    libusb_handle_events_timeout_completed(context_, &zero, nullptr);
}

void LibusbHidTransport::watchDescriptor(int fd, short events) {
    unwatchDescriptor(fd);
    Watch watch{fd, nullptr, nullptr};
    if (events & POLLIN) {
        watch.read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(watch.read.get(), &QSocketNotifier::activated, [this] { serviceEvents(); });
    }
    if (events & POLLOUT) {
        watch.write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        QObject::connect(watch.write.get(), &QSocketNotifier::activated, [this] { serviceEvents(); });
    }
    watches_.push_back(std::move(watch));
}

void LibusbHidTransport::unwatchDescriptor(int fd) {
    std::erase_if(watches_, [fd](const Watch &w) { return w.fd == fd; });
}

void LibusbHidTransport::onDescriptorAdded(int fd, short events, void *self) {
    static_cast<LibusbHidTransport *>(self)->watchDescriptor(fd, events);
}

void LibusbHidTransport::onDescriptorRemoved(int fd, void *self) {
    static_cast<LibusbHidTransport *>(self)->unwatchDescriptor(fd);
}

void LibusbHidTransport::close() {
    if (closed_.exchange(true)) return;
    if (eventTransfer_) {
        if (eventTransferActive_) libusb_cancel_transfer(eventTransfer_);
        // The cancellation completes through libusb's event handling; bounded in count and time.
        for (int i = 0; i < 50 && eventTransferActive_; ++i) {
            timeval step{0, 20000};
            libusb_handle_events_timeout_completed(context_, &step, nullptr);
        }
        if (!eventTransferActive_) libusb_free_transfer(eventTransfer_);
        eventTransfer_ = nullptr;
    }
    if (context_) libusb_set_pollfd_notifiers(context_, nullptr, nullptr, nullptr);
    watches_.clear();
    if (relay_) relay_->stop();
    if (handle_) {
        if (claimed_) libusb_release_interface(handle_, interfaceNumber_);
        if (driverDetached_) libusb_attach_kernel_driver(handle_, interfaceNumber_);
        claimed_ = driverDetached_ = false;
        libusb_close(handle_);
        handle_ = nullptr;
    }
}
