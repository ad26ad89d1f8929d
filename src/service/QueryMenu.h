#pragma once

#include "service/FrmCancelSend.h"
#include "service/ServiceLink.h"

#include <string>

namespace kvt::service {

// The "&Query" menu: the back door, EEPROM variables, repeated converter readings, raw DAC writes
// and the device's own output updating.
class QueryMenu {
public:
    // Registers a handler for every entry of the menu.
    QueryMenu(ServiceLink& link, FrmCancelSend& cancelWindow);

    void backDoor(bool open);
    void memoryRead();
    void memoryWrite();
    // Reads "Read," + channel every `intervalSeconds` until Cancel.
    void repeatingReading(const std::string& channel, const std::string& title,
                          int intervalSeconds);
    void dacWrite(int channel);
    void update(bool enable);

    // Consecutive readings without reply after which the loop gives up.
    static constexpr int kMaxTimeouts = 3;

private:
    // The Query handlers' own first steps; false: nothing is sent.
    bool begin();

    ServiceLink& link_;
    FrmCancelSend& cancel_;
};

inline constexpr const char* kReadingStoppedText =
    "No reply to three readings in a row. The reading is stopped.\rCheck connection and try again!";

} // namespace kvt::service
