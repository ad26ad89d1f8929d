#include "sim/Bus.h"

#include "sim/Text.h"

#include <stdexcept>

namespace kvt::sim {

namespace {

// "!" + two characters + "," in front of a body.
bool splitAddressed(std::string_view line, std::string& address, std::string_view& body) {
    if (line.size() < 4 || line[0] != '!' || line[3] != ',')
        return false;
    address = text::upper(line.substr(1, 2));
    body = line.substr(4);
    return true;
}

} // namespace

Bus::Bus(LineMode mode, std::vector<DeviceOptions> devices) : mode_(mode) {
    if (mode == LineMode::Rs232) {
        if (devices.empty())
            devices.emplace_back();
        if (devices.size() != 1)
            throw std::invalid_argument("an RS-232 line holds exactly one device");
    }
    devices_.reserve(devices.size());
    for (auto& options : devices) {
        Device d(std::move(options));
        if (device(d.address()) != nullptr)
            throw std::invalid_argument("two devices with address " + d.address());
        devices_.push_back(std::move(d));
    }
}

Device* Bus::device(std::string_view address) {
    std::string wanted = text::upper(address);
    for (auto& d : devices_)
        if (d.address() == wanted)
            return &d;
    return nullptr;
}

Device& Bus::device(std::size_t index) {
    return devices_.at(index);
}

std::string Bus::receive(std::string_view bytes, double now) {
    std::string out;
    for (char c : bytes) {
        if (c == '\n')
            continue;
        if (c == '\r') {
            if (overflow_) {
                out += oversizedLine(pending_, now);
                overflow_ = false;
            } else {
                out += completeLine(pending_, now);
            }
            pending_.clear();
            continue;
        }
        if (overflow_)
            continue;
        pending_ += c;
        if (pending_.size() > kMaxLineLength) {
            // Keep only the head: enough to know whom the line was for.
            pending_.resize(4);
            overflow_ = true;
        }
    }
    return out;
}

std::string Bus::frame(const Device& device, const std::string& reply) const {
    if (mode_ == LineMode::Rs232)
        return reply + "\r\n>";
    return device.address() + ": " + reply + "\r\n";
}

std::string Bus::completeLine(const std::string& line, double now) {
    commandLog_.push_back(line);
    if (line.empty())
        return {};
    std::string address;
    std::string_view body;
    bool addressed = splitAddressed(line, address, body);
    Device* target = nullptr;
    if (addressed)
        target = device(address);
    else if (mode_ == LineMode::Rs232) {
        target = &devices_.front();
        body = line;
    }
    if (target == nullptr)
        return {};
    std::string reply = target->handle(body, now);
    replyDelay_ = target->replyDelay();
    if (reply.empty())
        return {}; // a scripted silence
    return frame(*target, reply);
}

std::string Bus::oversizedLine(const std::string& head, double now) {
    ++droppedLines_;
    std::string address;
    std::string_view body;
    Device* target = nullptr;
    if (splitAddressed(head, address, body))
        target = device(address);
    else if (mode_ == LineMode::Rs232)
        target = &devices_.front();
    if (target == nullptr)
        return {};
    target->advance(now);
    return frame(*target, "?");
}

void Bus::forgetHistory() {
    commandLog_.clear();
    commandLog_.shrink_to_fit();
    for (auto& d : devices_)
        d.forgetCommandsSeen();
}

} // namespace kvt::sim
