#include "SimTestLine.h"

#include <cmath>

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
    EXPECT_NEAR(number(line.after(0.4, "f")), 10.0 + 40.0 * std::exp(-1.0), 0.05);
    // Time that runs backwards changes nothing.
    double before = line.device().flowSlpm();
    line.now -= 0.3;
    line.ask("v,s");
    EXPECT_DOUBLE_EQ(line.device().flowSlpm(), before);
}

TEST(SimDynamics, ValveModesOverrideTheSetPointAndTheAlarmReportsTheDeviation) {
    Line232 line(quiet(200.0));
    line.send({"a,h,5", "a,l,5", "s,120"});
    EXPECT_EQ(line.after(0.1, "a,s"), "L"); // the flow lags behind
    line.expect(5.0, {"V,C", "VC"});
    line.expect(10.0, {"f", "0.000", "a,s", "L", "v,o", "VO"});
    line.expect(10.0, {"f", "200.000", "a,s", "H", "v,a", "VA"});
    line.expect(10.0, {"f", "120.000", "a,s", "N"});
    // Only the enabled side reports; with none enabled, nothing does.
    line.send({"a,d", "a,h,5", "v,c"});
    line.expect(10.0, {"a,s", "N"});
    line.send({"a,d", "v,o"});
    line.expect(10.0, {"a,s", "N", "v,a", "VA"});
    // Set point and flow use the engineering unit.
    line.expect({"u,%", "U%", "s,25", "S25.000"});
    line.expect(10.0, {"f", "25.000"});
    // "e" is always in SLPM.
    line.expect(
        {"e", "200", "u,slph", "USLPH", "f", "3000.000", "u,ud,2,S", "UUD", "s,10", "S10.000"});
    EXPECT_DOUBLE_EQ(line.device().setPointSlpm(), 5.0);
    // The download's bare "u,UD" keeps the factor.
    line.expect({"u,slpm", "USLPM", "u,UD", "UUD"});
    EXPECT_EQ(line.device().userUnitFactor(), 2.0);
    // Set points are held between 0 and 110 % of full scale.
    line.expect({"u,slpm", "USLPM", "s,500", "S220.000", "s,-5", "S0.000"});
}

TEST(SimDynamics, TotalizerCountsWhileEnabledAboveItsStartFlowUpToItsLimit) {
    Line232 line(quiet());
    line.ask("s,60");
    EXPECT_EQ(line.after(70.0, "t,r"), "0.000");
    line.ask("t,s,n");
    EXPECT_NEAR(number(line.after(60.0, "t,r")), 60.0, 0.01); // 60 SLPM for a minute
    line.ask("t,d");
    EXPECT_NEAR(number(line.after(60.0, "t,r")), 60.0, 0.01);
    line.expect({"t,z", "TZ", "t,r", "0.000"});
    // Start flow 70 % with 60 % flowing: nothing; raise the flow and it counts.
    line.ask("t,s,f,70");
    EXPECT_EQ(line.after(30.0, "t,r"), "0.000");
    line.ask("s,80");
    EXPECT_NEAR(number(line.after(60.0, "t,r")), 80.0, 0.5);
    // The "stop now" pair ends counting and keeps the total.
    double kept = number(line.ask("t,r"));
    line.send({"t,s,f,-0.1", "t,p,n"});
    EXPECT_EQ(number(line.after(60.0, "t,r")), kept);
    // Action C closes the valve at the limit; action N leaves it as it is.
    line.send({"s,60", "t,z", "t,s,n", "t,p,t,10,C"});
    line.wait(3600.0);
    line.expect({"t,r", "10.000", "v,s", "VC"});
    line.send({"v,a", "t,z", "t,s,n", "t,p,t,5,N"});
    line.wait(3600.0);
    line.expect({"t,r", "5.000", "v,s", "VA"});
    // A limit below the present total stops at once without touching the total; 0 means none.
    line.send({"t,p,n", "t,s,n"});
    double total = number(line.after(10.0, "t,r"));
    line.ask("t,p,t,1,N");
    EXPECT_NEAR(number(line.after(10.0, "t,r")), total, 0.02);
    line.send({"t,p,t,0,C", "t,s,n"});
    EXPECT_NEAR(number(line.after(60.0, "t,r")), total + 60.0, 1.0);
}

TEST(SimDynamics, TotalizerInPercentCountsPercentSecondsAndLongStretchesEndAtOnce) {
    Line232 line(quiet(50.0));
    line.send({"u,%", "s,100"});
    line.after(20.0, "t,s,n");
    EXPECT_NEAR(number(line.after(10.0, "t,r")), 1000.0, 0.1);
    line.send({"u,slpm", "t,z"});
    line.wait(1e6); // 50 SLPM for a million seconds
    EXPECT_NEAR(number(line.ask("t,r")), 50.0 * 1e6 / 60.0, 1.0);
}

} // namespace
} // namespace kvt::sim::testing
