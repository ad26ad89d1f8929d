#pragma once

#include <set>
#include <string>

namespace kvt::monitor {

class FrmTerminal;
struct MultiPanel;

// Multi-unit monitoring: every device of the table polled in turn by TimerM, one device a tick,
// shown four or eight to a page ("Auto&Multi", toolbar "StartAM", view "Four[4]"/"Eight[8]").
class MultiUnitMonitor {
public:
    explicit MultiUnitMonitor(FrmTerminal& terminal);

    bool running() const;
    void toggle();
    void TimerM_Timer();
    // View entries: 4 or 8 panels a page.
    void chooseView(int panels);

    // Page buttons only ask; the request is served at the end of a tick.
    void cmdRightSh_Click() { nextRequest_ = true; }
    void cmdLeftSh_Click() { previousRequest_ = true; }

    // Set-point entry in panel k (0-based) of the page shown.
    void txtMDSP_Commit(int k, const std::string& text);
    void hscMD_Change(int k, int position);

    int pageOffset() const { return pageOffset_; }
    int first() const { return first_; }
    int last() const { return last_; }

private:
    int perPage() const;
    MultiPanel* panel(int k);
    void hidePanels();
    // Shows device pageOffset + k + 1 in panel k; `emptyReading` clears its reading label.
    void drawPanel(int k, bool emptyReading);
    void drawPage(bool emptyReadings);
    void setPage(int offset);
    void moveSlider(int k, int position);
    void scanOne();
    void writeRecord();
    void setControlsEnabled(bool enabled);
    void stop();

    FrmTerminal& t_;
    int pageOffset_ = 0;
    int first_ = 1;
    int last_ = 0;
    int scanPosition_ = 1;
    bool nextRequest_ = false;
    bool previousRequest_ = false;
    bool tickRunning_ = false;
    unsigned run_ = 0;     // counts monitoring runs, so a reply of an old run is not drawn
    std::set<int> silent_; // devices whose "No connection!" this run has shown
};

} // namespace kvt::monitor
