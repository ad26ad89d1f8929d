#include "ServiceTestKit.h"

KVT_ON_BOTH_LINES(CalibrateAD);

namespace {

void okAll(ServiceWorld& x, int n) {
    for (int i = 0; i < n; ++i)
        x.w.op.answer(Answer::Ok);
}

// Opens the dialog past its warning, with `oks` prompts to be answered OK, and runs `inside` in it.
void open(ServiceWorld& x, int oks, std::function<void(service::CalibrateAD&)> inside) {
    x.dialogs.calibrateAD = std::move(inside);
    x.w.op.answer(Answer::Yes);
    okAll(x, oks);
    x.click("mnuToolsCalibrateAdcDac");
}

const Lines kAdcStart = {"m,a", "v,a", "mw,1000,1"};
const Lines kAdcRead = concat(kAdcStart, Lines(10, "read,1"));
const std::string kAdcDone = "ADC Calibration is Successively  Completed!";

} // namespace

TEST_P(CalibrateAD, AdcWritesTheConstantsOfEitherInterfaceAndFaults) {
    auto check = [&](const char* name, const std::string& span, const std::string& offset,
                     std::function<void(ServiceWorld&)> before, int mode, int oks,
                     const Lines& sent, const std::string& lastBox) {
        SCOPED_TRACE(name);
        ServiceWorld x(GetParam());
        x.t.table.record(1).InputMode = 1;
        bool lockedDuring = false;
        auto& m = x.service->calibrate.model;
        x.at(3.0, [&] {
            lockedDuring = !m.OptIntrf[0].enabled && !m.TabStripADC.enabled && m.FraProgBar.visible;
        });
        if (!span.empty()) {
            x.dev().scriptFault("read,1", sim::Fault::wrong(span, 5));
            x.dev().scriptFault("read,1", sim::Fault::wrong(offset, 5));
        }
        if (before)
            before(x);
        open(x, oks, [&](service::CalibrateAD& c) {
            c.OptIntrf_Click(mode);
            c.cmdAdcStart_Click();
        });
        EXPECT_EQ(x.written(), x.lines(sent));
        EXPECT_EQ(x.boxes().back(), lastBox);
        if (lastBox == kAdcDone && mode == 0) {
            EXPECT_EQ(m.lblAdcSpan.caption, "ADC Span  :   3000             0.000500");
            EXPECT_EQ(m.lblAdcOffset.caption, "ADC Offset :   1000             -0.500000");
            EXPECT_TRUE(lockedDuring && m.OptIntrf[0].enabled);
            // The record and the panel follow what the device accepted.
            EXPECT_EQ(x.t.table.record(1).InputMode, 0);
            EXPECT_EQ(x.t.model.cboValveS.listIndex, 1);
        }
    };
    check("the current interface has constants of its own", "ADCinp:3000", "ADCinp:1000", nullptr,
          1, 3, concat(kAdcRead, {"MW,10,0.000500", "MW,11,-0.500000"}), kAdcDone);
    check("equal counts write nothing", "ADCinp:2000", "ADCinp:2000", nullptr, 0, 3, kAdcRead,
          "Span and Offset are Equal! Calibration is terminated!\r Make sure correct signals are "
          "applied to the input!");
    check("a phase without a valid reading ends it", "ADCin", "ADCinp:1000", nullptr, 0, 2,
          concat(kAdcStart, Lines(5, "read,1")),
          failure(service::kCalibrationHeadline, "[", "ADCin"));
    check("a span echo with numbers normalised still begins with the body", "ADCinp:3000",
          "ADCinp:1000", faultOn("MW,", sim::Fault::normalisedEcho()), 0, 3,
          concat(kAdcRead, {"MW,8,0.000500", "MW,9,-0.500000"}), kAdcDone);
    check("a wrong span echo stops before the offset", "ADCinp:3000", "ADCinp:1000",
          faultOn("MW,8", sim::Fault::wrong("?")), 0, 3, concat(kAdcRead, {"MW,8,0.000500"}),
          std::string(service::kCalibrationHeadline) +
              "\rCheck connection and try again!  ?    MW,8,");
    check("the back door refused: nothing more, no message", "", "",
          faultOn("mw,1000,1", sim::Fault::wrong("N")), 0, 2, kAdcStart,
          "Apply 5.000 Vdc to the analog input.\r Hit [OK] when done, Cancel to Quit.");
    {
        SCOPED_TRACE("Cancel at a prompt sends nothing; Exit during a reading ends it there");
        ServiceWorld x(GetParam());
        open(x, 0, [&](service::CalibrateAD& c) {
            x.w.op.answer(Answer::Cancel);
            c.cmdAdcStart_Click();
            EXPECT_TRUE(x.written().empty());
            okAll(x, 2);
            x.at(2.5, [&c] { c.Form_QueryUnload(); });
            c.cmdAdcStart_Click();
            EXPECT_TRUE(c.closed());
        });
        EXPECT_EQ(x.written(), x.lines(concat(kAdcStart, Lines(2, "read,1"))));
    }
}

// Whatever happens, the device is left with updating on.
TEST_P(CalibrateAD, DacWritesTheConstantsAndSwitchesUpdatingBackOn) {
    // `label`: the constant shown, on success.
    auto check = [&](const char* name, std::function<void(ServiceWorld&)> before, int mode,
                     const Lines& typed, const Lines& sent, const std::string& lastBox,
                     const std::string& label) {
        SCOPED_TRACE(name);
        ServiceWorld x(GetParam());
        if (before)
            before(x);
        for (const auto& t : typed)
            x.w.op.type(t);
        open(x, 1, [&](service::CalibrateAD& c) {
            c.OptIntrf_Click(mode);
            c.cmdDacStart_Click();
        });
        EXPECT_EQ(x.written(), x.lines(sent));
        EXPECT_EQ(x.boxes().back(), lastBox);
        auto& m = x.service->calibrate.model;
        EXPECT_TRUE(label.empty() || (mode ? m.lblDacOffset : m.lblDacSpan).caption == label);
    };
    const std::string measured = service::kMeasuredValueText;
    const Lines driven = {"mw,1000,1", "write,4,d", "write,1,4000", "write,4,n"};
    const std::string failed = failure(service::kCalibrationHeadline, "[", "");
    const std::string done = "DAC Calibration is Successively  Completed!";
    check("0 to 5 Vdc, a comma typed as decimal separator", nullptr, 0, Lines{"4,95"},
          ServiceWorld::words("mw,1000,1 write,4,d write,1,4000 MW,12,4040.404040 write,4,n"), done,
          "DAC Span  :   4,95             4040.404040");
    check("4 to 20 mA: span and offset", nullptr, 1, Lines{"20.1", "0.5"},
          ServiceWorld::words("mw,1000,1 write,4,d write,1,4000 MW,13,199.004975 write,1,0 "
                              "MW,6,-99.502488 write,4,n"),
          done, "DAC Offset  :   0.5             -99.502488");
    check("a measured 0 is refused", nullptr, 0, Lines{"0"}, driven, measured, "");
    check("Cancel in the input box", nullptr, 0, Lines{""}, driven,
          "Make sure interface jumpers are set\rfor 0 to 5 Vdc. Hit [OK] when done.", "");
    check("a lost reply to write,4,d", faultOn("write,4,d", sim::Fault::silence()), 0, Lines{},
          Lines{"mw,1000,1", "write,4,d", "write,4,n"}, failed, "");
    check("no reply to the DAC drive", faultOn("write,1,4000", sim::Fault::silence()), 0, Lines{},
          driven, failed, "");
    check("a wrong reply to the final enable is reported",
          faultOn("write,4,n", sim::Fault::wrong("DisableUpdate: D")), 0, Lines{"5"},
          ServiceWorld::words("mw,1000,1 write,4,d write,1,4000 MW,12,4000.000000 write,4,n"),
          std::string(service::kUpdateFailedHeadline) + "[DisableUpdate: D]", "");
}
