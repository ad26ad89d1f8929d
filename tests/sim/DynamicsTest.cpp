#include "SimTestLine.h"

#include <cmath>
#include <vector>

namespace kvt::sim::testing {
namespace {

DeviceOptions quiet(double fullScale = 100.0) {
    DeviceOptions o;
    o.fullScaleSlpm = fullScale;
    o.noisePercent = 0.0;
    return o;
}

TEST(SimDynamics, FlowFollowsTheSetPointWithItsTimeConstant) {
    DeviceOptions o = quiet();
    o.timeConstant = 0.4;
    Line232 line(o);
    line.expect({"f", "0.000", "s,50", "S50.000"});
    EXPECT_NEAR(number(line.after(0.4, "f")), 50.0 * (1.0 - std::exp(-1.0)), 0.05);
    EXPECT_NEAR(number(line.after(0.4, "f")), 50.0 * (1.0 - std::exp(-2.0)), 0.05);
    EXPECT_EQ(line.after(5.0, "f"), "50.000");
    // Down again, along the same curve.
    line.ask("s,10");
    line.after(0.4, "v,s");
    EXPECT_NEAR(line.device().flowSlpm(), 10.0 + 40.0 * std::exp(-1.0), 0.05);
    // Time that runs backwards changes nothing.
    double before = line.device().flowSlpm();
    line.now -= 0.3;
    line.ask("v,s");
    EXPECT_DOUBLE_EQ(line.device().flowSlpm(), before);
}

TEST(SimDynamics, NoiseIsSmallAndRepeatableForASeed) {
    auto readings = [](std::uint64_t seed) {
        DeviceOptions o;
        o.seed = seed;
        Line232 line(o);
        line.ask("s,50");
        line.wait(10.0);
        std::vector<double> out;
        for (int i = 0; i < 200; ++i)
            out.push_back(number(line.after(0.1, "f")));
        return out;
    };
    std::vector<double> a = readings(7);
    EXPECT_EQ(a, readings(7));
    EXPECT_NE(a, readings(8));
    double sum = 0.0, sq = 0.0;
    for (double v : a) {
        sum += v;
        sq += v * v;
    }
    double mean = sum / a.size();
    double sigma = std::sqrt(sq / a.size() - mean * mean);
    // About 0.1 % of full scale: visible, but nowhere near an alarm band.
    EXPECT_NEAR(mean, 50.0, 0.05);
    EXPECT_GT(sigma, 0.05);
    EXPECT_LT(sigma, 0.2);
}

TEST(SimDynamics, ValveModesOverrideTheSetPointGivenInTheEngineeringUnit) {
    Line232 line(quiet(200.0));
    line.ask("s,120");
    EXPECT_EQ(line.after(5.0, "V,C"), "VC");
    EXPECT_EQ(line.after(10.0, "f"), "0.000");
    EXPECT_EQ(line.device().flowSlpm(), 0.0);
    EXPECT_EQ(line.ask("v,o"), "VO");
    EXPECT_NEAR(number(line.after(10.0, "f")), 200.0, 0.01);
    EXPECT_EQ(line.ask("v,a"), "VA");
    EXPECT_NEAR(number(line.after(10.0, "f")), 120.0, 0.01);
    // Set point and flow use the engineering unit.
    line.expect({"u,%", "U%", "s,25", "S25.000"});
    EXPECT_DOUBLE_EQ(line.device().setPointSlpm(), 50.0);
    EXPECT_EQ(line.after(10.0, "f"), "25.000");
    // "e" is always in SLPM.
    line.expect(
        {"e", "200", "u,slph", "USLPH", "f", "3000.000", "u,mlpm", "UMLPM", "s,1500", "S1500.000"});
    EXPECT_DOUBLE_EQ(line.device().setPointSlpm(), 1.5);
    EXPECT_EQ(line.after(10.0, "f"), "1500.000");
    // 1.5 x 2.1189 SCFH.
    line.expect({"u,scfh", "USCFH", "f", "3.178", "u,lbpm", "ULBPM", "s,0.0022075", "S0.002"});
    EXPECT_NEAR(line.device().setPointSlpm(), 1.0, 1e-9);
    line.expect({"u,ud,2,S", "UUD", "s,10", "S10.000"});
    EXPECT_DOUBLE_EQ(line.device().setPointSlpm(), 5.0);
    // The download's bare "u,UD" keeps the factor.
    line.expect({"u,slpm", "USLPM", "u,UD", "UUD"});
    EXPECT_EQ(line.device().userUnitFactor(), 2.0);
    EXPECT_EQ(line.ask("UD,4"), "UUD");
    EXPECT_EQ(line.device().userUnitFactor(), 4.0);
    // Set points are held between 0 and 110 % of full scale.
    line.expect({"u,slpm", "USLPM", "s,500", "S220.000", "s,-5", "S0.000"});
}

TEST(SimDynamics, AnalogModeTakesTheSetPointFromTheInput) {
    Line232 line(quiet());
    line.ask("s,20");
    line.device().setAnalogInput(0.5);
    EXPECT_EQ(line.ask("m,a"), "MA");
    line.wait(10.0);
    // Through the ADC and its six-decimal constants: close, not exact.
    EXPECT_NEAR(number(line.ask("f")), 50.0, 0.1);
    EXPECT_EQ(line.ask("M,D"), "MD");
    EXPECT_NEAR(number(line.after(10.0, "f")), 20.0, 0.01);
}

TEST(SimDynamics, TotalizerCountsOnlyWhileEnabledAndAboveItsStartFlow) {
    Line232 line(quiet());
    line.ask("s,60");
    line.after(10.0, "f");
    EXPECT_EQ(line.after(60.0, "t,r"), "0.000");

    EXPECT_EQ(line.ask("t,s,n"), "TSN");
    EXPECT_NEAR(number(line.after(60.0, "t,r")), 60.0, 0.01); // 60 SLPM for a minute
    line.ask("u,mlpm");
    EXPECT_NEAR(number(line.ask("t,r")), 60000.0, 10.0);
    line.ask("u,slpm");

    EXPECT_EQ(line.ask("t,d"), "TD");
    EXPECT_NEAR(number(line.after(60.0, "t,r")), 60.0, 0.01);
    line.expect({"t,z", "TZ", "t,r", "0.000"});

    // Start flow 70 % with 60 % flowing: nothing; raise the flow and it counts.
    EXPECT_EQ(line.ask("t,s,f,70"), "TSF70");
    EXPECT_EQ(line.after(30.0, "t,r"), "0.000");
    line.ask("s,80");
    EXPECT_NEAR(number(line.after(60.0, "t,r")), 80.0, 0.5);

    // The "stop now" pair ends counting and keeps the total.
    double kept = number(line.ask("t,r"));
    EXPECT_EQ(line.ask("t,s,f,-0.1").substr(0, 2), "TS");
    EXPECT_EQ(line.ask("t,p,n"), "TPN");
    EXPECT_EQ(number(line.after(60.0, "t,r")), kept);
    EXPECT_FALSE(line.device().totalizerEnabled());
}

TEST(SimDynamics, TotalizerStopsAtItsLimit) {
    Line232 line(quiet());
    line.ask("s,60");
    line.after(10.0, "t,s,n");
    EXPECT_EQ(line.ask("t,p,t,10,C").substr(0, 3), "TPT");
    line.wait(3600.0);
    line.expect({"t,r", "10.000", "v,s", "VC"});
    // Action N: counting stops, the valve stays as it is.
    line.send({"v,a", "t,z", "t,s,n", "t,p,t,5,N"});
    line.wait(3600.0);
    line.expect({"t,r", "5.000", "v,s", "VA"});
    // A limit below the present total stops at once without touching the total.
    line.send({"t,p,n", "t,s,n"});
    double total = number(line.after(10.0, "t,r"));
    line.ask("t,p,t,1,N");
    EXPECT_NEAR(number(line.after(10.0, "t,r")), total, 0.02);
    // Limit 0 means none.
    line.send({"t,p,t,0,C", "t,s,n"});
    EXPECT_NEAR(number(line.after(60.0, "t,r")), total + 60.0, 1.0);
    EXPECT_EQ(line.ask("v,s"), "VA");
}

TEST(SimDynamics, TotalizerInPercentCountsPercentSecondsAndLongStretchesEndAtOnce) {
    Line232 line(quiet(50.0));
    line.send({"u,%", "s,100"});
    line.after(20.0, "t,s,n");
    EXPECT_NEAR(number(line.after(10.0, "t,r")), 1000.0, 0.1);
    line.send({"u,slpm", "t,z"});
    line.wait(1e6);
    // 50 SLPM for a million seconds.
    EXPECT_NEAR(number(line.ask("t,r")), 50.0 * 1e6 / 60.0, 1.0);
}

TEST(SimDynamics, AlarmReportsDeviationAndSettingsAreKeptAsCommanded) {
    Line232 line(quiet());
    line.ask("s,50");
    EXPECT_EQ(line.after(10.0, "a,s"), "N"); // off
    line.send({"a,h,5", "a,l,5"});
    EXPECT_EQ(line.ask("a,s"), "N");
    line.ask("s,80");
    EXPECT_EQ(line.after(0.1, "a,s"), "L"); // the flow lags behind
    EXPECT_EQ(line.device().alarmState(), AlarmState::Low);
    EXPECT_EQ(line.after(10.0, "a,s"), "N");
    line.ask("v,o");
    EXPECT_EQ(line.after(10.0, "a,s"), "H");
    line.ask("v,c");
    EXPECT_EQ(line.after(10.0, "a,s"), "L");
    // Only the enabled side reports.
    line.send({"a,d", "a,h,5"});
    EXPECT_EQ(line.ask("a,s"), "N");
    line.send({"a,d", "v,o"});
    EXPECT_EQ(line.after(10.0, "a,s"), "N");
    // Relay, K-factor and maintenance settings are kept as commanded.
    line.send({"r,1,t", "R,2,L"});
    EXPECT_EQ(line.device().relayAction(1), 'T');
    EXPECT_EQ(line.ask("r,2,s"), "RL");
    line.ask("k,e,0.75");
    EXPECT_EQ(line.device().kFactorSource(), 2);
    EXPECT_DOUBLE_EQ(line.device().kFactor(), 0.75);
    line.ask("k,i,12");
    EXPECT_EQ(line.device().kFactorSource(), 1);
    line.ask("k,d");
    EXPECT_EQ(line.device().kFactorSource(), 0);
    EXPECT_DOUBLE_EQ(line.device().kFactor(), 1.0);

    // The maintenance timer runs in hours and restarts from zero.
    double hours = number(line.ask("c,r"));
    EXPECT_NEAR(number(line.after(7200.0, "c,r")), hours + 2.0, 0.051);
    line.expect({"c,c", "CC", "c,r", "0.0"});
}

} // namespace
} // namespace kvt::sim::testing
