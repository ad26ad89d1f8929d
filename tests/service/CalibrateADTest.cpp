#include "ServiceTestKit.h"

KVT_ON_BOTH_LINES(CalibrateAD);

namespace {

Lines times(int n, const std::string& line) {
    return Lines(static_cast<std::size_t>(n), line);
}

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

// The ADC reads `span` counts five times, then `offset` five times.
void adcReadings(ServiceWorld& x, const std::string& span, const std::string& offset) {
    x.dev().scriptFault("read,1", sim::Fault::wrong(span, 5));
    x.dev().scriptFault("read,1", sim::Fault::wrong(offset, 5));
}

const Lines kAdcStart = {"m,a", "v,a", "mw,1000,1"};

} // namespace

TEST(CalibrateADText, ConstantsRoundHalfAwayFromZero) {
    EXPECT_EQ(service::CalibrateAD::constantText(1.0 / (3000 - 1000)), "0.000500");
    EXPECT_EQ(service::CalibrateAD::constantText(-0.5), "-0.500000");
    EXPECT_EQ(service::CalibrateAD::constantText(1.0 / 128), "0.007813");
    EXPECT_EQ(service::CalibrateAD::constantText(-1e-9), "0.000000");
}

TEST_P(CalibrateAD, AdcWritesTheConstantsOfEitherInterface) {
    struct Row {
        int mode;
        Lines writes;
        int spanVar, offsetVar;
    };
    for (const Row& r : {Row{0, {"MW,8,0.000500", "MW,9,-0.500000"}, 8, 9},
                         Row{1, {"MW,10,0.000500", "MW,11,-0.500000"}, 10, 11}}) {
        SCOPED_TRACE(r.mode);
        ServiceWorld x(GetParam());
        x.t.table.record(1).InputMode = 1;
        x.t.table.record(1).ValveMode = 0;
        adcReadings(x, "ADCinp:3000", "ADCinp:1000");
        bool lockedDuring = false;
        x.at(3.0, [&] {
            auto& m = x.service->calibrate.model;
            lockedDuring = !m.OptIntrf[0].enabled && !m.TabStripADC.enabled && m.FraProgBar.visible;
        });
        open(x, 3, [&](service::CalibrateAD& c) {
            c.OptIntrf_Click(r.mode);
            c.cmdAdcStart_Click();
        });
        EXPECT_EQ(x.written(), x.lines(concat(concat(kAdcStart, times(10, "read,1")), r.writes)));
        EXPECT_EQ(x.dev().eeprom(r.offsetVar), "-0.500000");
        EXPECT_EQ(x.boxes().back(), "ADC Calibration is Successively  Completed!");
        auto& m = x.service->calibrate.model;
        EXPECT_EQ(m.lblAdcSpan.caption, "ADC Span  :   3000             0.000500");
        EXPECT_EQ(m.lblAdcOffset.caption, "ADC Offset :   1000             -0.500000");
        EXPECT_TRUE(lockedDuring && m.OptIntrf[0].enabled);
        // The record and the panel follow what the device accepted.
        EXPECT_EQ(x.t.table.record(1).InputMode, 0);
        EXPECT_EQ(x.t.model.cboValveS.listIndex, 1);
    }
}

TEST_P(CalibrateAD, AdcFaults) {
    struct Row {
        const char* name;
        std::string span, offset;
        std::function<void(ServiceWorld&)> before;
        int oks;
        Lines sent;
        std::string lastBox;
    };
    const Row rows[] = {
        {"equal counts write nothing", "ADCinp:2000", "ADCinp:2000", nullptr, 3,
         concat(kAdcStart, times(10, "read,1")),
         "Span and Offset are Equal! Calibration is terminated!\r Make sure correct signals are "
         "applied to the input!"},
        {"a phase without a valid reading ends it", "ADCin", "ADCinp:1000", nullptr, 2,
         concat(kAdcStart, times(5, "read,1")),
         service::ServiceLink::failureText(service::kCalibrationHeadline, "[", "ADCin")},
        {"a span echo with numbers normalised still begins with the body", "ADCinp:3000",
         "ADCinp:1000", faultOn("MW,", sim::Fault::normalisedEcho()), 3,
         concat(concat(kAdcStart, times(10, "read,1")), {"MW,8,0.000500", "MW,9,-0.500000"}),
         "ADC Calibration is Successively  Completed!"},
        {"a wrong span echo stops before the offset", "ADCinp:3000", "ADCinp:1000",
         faultOn("MW,8", sim::Fault::wrong("?")), 3,
         concat(concat(kAdcStart, times(10, "read,1")), {"MW,8,0.000500"}),
         std::string(service::kCalibrationHeadline) +
             "\rCheck connection and try again!  ?    MW,8,"},
        {"the back door refused: nothing more, no message", "", "",
         faultOn("mw,1000,1", sim::Fault::wrong("N")), 2, kAdcStart,
         "Apply 5.000 Vdc to the analog input.\r Hit [OK] when done, Cancel to Quit."},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ServiceWorld x(GetParam());
        if (!r.span.empty())
            adcReadings(x, r.span, r.offset);
        if (r.before)
            r.before(x);
        open(x, r.oks, [&](service::CalibrateAD& c) { c.cmdAdcStart_Click(); });
        EXPECT_EQ(x.written(), x.lines(r.sent));
        EXPECT_EQ(x.boxes().back(), r.lastBox);
    }
    {
        SCOPED_TRACE("Cancel at a prompt sends nothing; Exit during a reading ends it there");
        ServiceWorld x(GetParam());
        x.w.op.answer(Answer::Yes);
        x.w.op.answer(Answer::Cancel);
        x.dialogs.calibrateAD = [&](service::CalibrateAD& c) {
            c.cmdAdcStart_Click();
            EXPECT_TRUE(x.written().empty());
            okAll(x, 2);
            x.at(2.5, [&c] { c.Form_QueryUnload(); });
            c.cmdAdcStart_Click();
            EXPECT_TRUE(c.closed());
        };
        x.click("mnuToolsCalibrateAdcDac");
        EXPECT_EQ(x.written(), x.lines(concat(kAdcStart, times(2, "read,1"))));
        EXPECT_TRUE(x.dev().eeprom(8) != "0.000500");
    }
}

TEST_P(CalibrateAD, DacWritesTheConstantsAndSwitchesUpdatingBackOn) {
    {
        SCOPED_TRACE("0 to 5 Vdc, a comma typed as decimal separator");
        ServiceWorld x(GetParam());
        x.w.op.type("4,95");
        bool disabledDuring = false;
        x.at(2.0, [&] { disabledDuring = x.dev().updateDisabled(); });
        open(x, 1, [&](service::CalibrateAD& c) {
            c.TabStripADC_Click(2);
            c.cmdDacStart_Click();
            EXPECT_FALSE(c.model.lblDacOffset.visible);
        });
        EXPECT_EQ(x.written(), x.lines({"mw,1000,1", "write,4,d", "write,1,4000",
                                        "MW,12,4040.404040", "write,4,n"}));
        EXPECT_TRUE(disabledDuring && !x.dev().updateDisabled());
        EXPECT_EQ(x.boxes().back(), "DAC Calibration is Successively  Completed!");
        EXPECT_EQ(x.service->calibrate.model.lblDacSpan.caption,
                  "DAC Span  :   4,95             4040.404040");
    }
    {
        SCOPED_TRACE("4 to 20 mA: span and offset");
        ServiceWorld x(GetParam());
        x.w.op.type("20.1");
        x.w.op.type("0.5");
        open(x, 1, [&](service::CalibrateAD& c) {
            c.OptIntrf_Click(1);
            c.cmdDacStart_Click();
        });
        EXPECT_EQ(x.written(),
                  x.lines({"mw,1000,1", "write,4,d", "write,1,4000", "MW,13,199.004975",
                           "write,1,0", "MW,6,-99.502488", "write,4,n"}));
        EXPECT_EQ(x.service->calibrate.model.lblDacOffset.caption,
                  "DAC Offset  :   0.5             -99.502488");
    }
}

TEST_P(CalibrateAD, DacFaultsAlwaysEnableUpdatingAgain) {
    struct Row {
        const char* name;
        std::function<void(ServiceWorld&)> before;
        const char* typed; // into the input box, or nullptr
        Lines sent;
        std::string lastBox;
    };
    const std::string measured = service::kMeasuredValueText;
    const Lines driven = {"mw,1000,1", "write,4,d", "write,1,4000", "write,4,n"};
    const std::string failed =
        service::ServiceLink::failureText(service::kCalibrationHeadline, "[", "");
    const Row rows[] = {
        {"a measured 0 is refused", nullptr, "0", driven, measured},
        {"a negative value is refused", nullptr, "-4.9", driven, measured},
        {"text is refused", nullptr, "abc", driven, measured},
        {"Cancel in the input box", nullptr, "", driven,
         "Make sure interface jumpers are set\rfor 0 to 5 Vdc. Hit [OK] when done."},
        {"a lost reply to write,4,d",
         faultOn("write,4,d", sim::Fault::silence()),
         nullptr,
         {"mw,1000,1", "write,4,d", "write,4,n"},
         failed},
        {"no reply to the DAC drive", faultOn("write,1,4000", sim::Fault::silence()), nullptr,
         driven, failed},
        {"a wrong reply to the final enable is reported",
         faultOn("write,4,n", sim::Fault::wrong("DisableUpdate: D")),
         "5",
         {"mw,1000,1", "write,4,d", "write,1,4000", "MW,12,4000.000000", "write,4,n"},
         std::string(service::kUpdateFailedHeadline) + "[DisableUpdate: D]"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ServiceWorld x(GetParam());
        if (r.before)
            r.before(x);
        if (r.typed)
            x.w.op.type(r.typed);
        open(x, 1, [&](service::CalibrateAD& c) { c.cmdDacStart_Click(); });
        EXPECT_EQ(x.written(), x.lines(r.sent));
        EXPECT_EQ(x.boxes().back(), r.lastBox);
        if (!std::string(r.name).starts_with("a wrong reply to the final")) {
            EXPECT_FALSE(x.dev().updateDisabled());
        }
    }
}
