#include "monitor/FrmDProp.h"
#include "MonitorFixtures.h"
#include "monitor/FrmTerminal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

using namespace kvt;
using kvt::monitor::FrmDProp;
using kvt::platform::Answer;
using namespace kvt::testing;

namespace {

const char* kDupAddress = "Duplicate address in the system!";
const char* kTwoHex = "Address Must Have Two HexaDecimal Characters!";
const char* kNotHex = "Address Must Be HexaDecimal Number!";
const char* kGlobal = "Address 00 is Global! Try again!";
const char* kBadText = "Quotation marks and control characters cannot be stored!";

// Four devices on an RS-485 line, device 2 disabled for communication, start-up behind us.
struct EditorWorld {
    EditorWorld()
        : w(sim::LineMode::Rs485, {deviceRecord("1", "01"), deviceRecord("2", "02", 0),
                                   deviceRecord("3", "03"), deviceRecord("4", "04")}),
          t(settle(w)) {
        // What the devices reported, so a reload from the file would show.
        for (int slot = 1; slot <= 4; ++slot) {
            t.table.status(slot).FullScale = 10.0 * slot;
            t.table.status(slot).Total = 5.0 * slot;
        }
    }

    // Opens the editor from the menu, lets `script` act in it, then lets the loader run.
    void edit(const std::function<void(FrmDProp&)>& script) {
        w.dialogs.deviceProperties = [script](FrmDProp& d) {
            script(d);
            EXPECT_TRUE(d.closed());
        };
        t.menuClick("mnuDProperties");
        w.rt.runUntilIdle(120);
    }

    std::string setupFile() const { return test::readFile(w.setupPath()); }

    // Opens the dialog without the host: for checks of the model between actions.
    FrmDProp& open() {
        dialog = std::make_unique<FrmDProp>(t);
        dialog->Form_Load();
        return *dialog;
    }

    TerminalWorld w;
    monitor::FrmTerminal& t;
    std::unique_ptr<FrmDProp> dialog;
};

using R = config::DeviceRecord;
template <typename T> std::function<double(const R&)> field(T R::*member) {
    return [member](const R& r) { return static_cast<double>(r.*member); };
}

} // namespace

TEST(DeviceEditor, EachControlStoresItsFieldAndMarksOnlyDeviceHeldSettings) {
    struct Case {
        const char* what;
        std::function<void(FrmDProp&)> act;
        std::function<double(const R&)> field;
        double expected;
        bool edited;
    };
    const Case cases[] = {
        {"same unit again", [](auto& d) { d.cboEUnit_Click(1); }, field(&R::EngUnit), 1, false},
        {"digital input", [](auto& d) { d.optAInt_Click(0); }, field(&R::InputMode), 1, true},
        {"disabled device", [](auto& d) { d.optCRC_Click(1); }, field(&R::CommEnabled), 0, false},
        {"decimal comma", [](auto& d) { d.txtMFR_Change("1,5"); }, field(&R::SetPoint), 1.5, true},
        {"infinite refused", [](auto& d) { d.txtTStop_Change("1e999"); },
         field(&R::TotalizerStopTotal), 10000, false},
        {"half to even, down", [](auto& d) { d.txtInternalKF_Change("2.5"); },
         field(&R::KFactorIndex), 2, true},
        {"half to even, up", [](auto& d) { d.txtInternalKF_Change("3.5"); },
         field(&R::KFactorIndex), 4, true},
        {"index over 32 bits", [](auto& d) { d.txtInternalKF_Change("3e9"); },
         field(&R::KFactorIndex), 1, false},
    };
    for (const auto& c : cases) {
        EditorWorld x;
        auto& d = x.open();
        d.cboNumU_Click(2); // slot 3, a fresh record
        c.act(d);
        EXPECT_EQ(c.field(x.t.table.record(3)), c.expected) << c.what;
        for (int slot : {1, 2, 3, 4})
            EXPECT_EQ(x.t.edited[slot], slot == 3 && c.edited) << c.what << " " << slot;
    }
}

TEST(DeviceEditor, NameAndAddressBoxesRefuseWhatTheTableCannotHold) {
    struct Case {
        bool address; // the address box, else the name box
        std::string typed;
        std::string stored; // device 1's field afterwards
        Lines messages;
        std::string box;
    };
    const Case cases[] = {
        {false, "Line, \"A\"", "KVT", {kBadText}, "KVT"},
        {false, "Line, A", "Line, A", {}, "Line, A"},
        {false, "", "", {}, ""},
        {true, "0", "01", {}, "0"},   // one character: wait for the second
        {true, "01", "01", {}, "01"}, // its own address is no duplicate
        {true, " 03 ", "01", {kDupAddress, kTwoHex}, "01"},
        {true, "0A", "01", {kDupAddress, kTwoHex}, "01"}, // the device added in this session
        {true, "0g", "01", {kNotHex}, "01"},
        {true, "00", "01", {kGlobal}, "01"},
        {true, "123", "01", {}, "123"},
    };
    for (const auto& c : cases) {
        EditorWorld x;
        auto& d = x.open();
        x.w.op.type("9");
        x.w.op.type("0a");
        d.cmdAdd_Click();
        d.cboNumU_Click(0);
        if (c.address)
            d.txtAddress_Change(c.typed);
        else
            d.txtName_Change(c.typed);
        const auto& r = x.t.table.record(1);
        EXPECT_EQ(c.address ? r.Address : r.Name, c.stored) << c.typed;
        EXPECT_EQ(x.w.op.texts(), c.messages) << c.typed;
        EXPECT_EQ((c.address ? d.model.txtAddress : d.model.txtName).caption, c.box) << c.typed;
        EXPECT_FALSE(x.t.edited[1]) << c.typed;
    }
}

TEST(DeviceEditor, AddAsksUntilAnAddressIsAcceptedOrNoneIsGiven) {
    struct Case {
        const char* what;
        Lines answers;
        Lines messages;
        std::string number, address; // of slot 5; empty: nothing added
    };
    const Case cases[] = {
        {"padded number and address", {" 7 ", " 0E "}, {}, "7", "0E"},
        {"no number", {""}, {}, "", ""},
        {"duplicate number", {"2"}, {"Duplicate number in the system!"}, "", ""},
        {"control character in number", {"7\x01"}, {kBadText}, "", ""},
        {"every refusal, then accepted",
         {"7", "02", "X1", "1", "00", "1a"},
         {kDupAddress, kNotHex, kTwoHex, kGlobal},
         "7",
         "1a"},
        {"duplicate in other case", {"7", "0f", "0F", ""}, {kDupAddress, kDupAddress}, "", ""},
    };
    for (const auto& c : cases) {
        EditorWorld x;
        x.t.table.record(4).Address = "0F";
        auto& d = x.open();
        for (const auto& a : c.answers)
            x.w.op.type(a);
        d.cmdAdd_Click();
        EXPECT_EQ(x.w.op.unansweredLeft(), 0u) << c.what;
        EXPECT_EQ(x.w.op.texts(), c.messages) << c.what;
        EXPECT_EQ(x.t.table.record(5).Number, c.number) << c.what;
        EXPECT_EQ(x.t.table.record(5).Address, c.address) << c.what;
        const bool added = !c.number.empty();
        EXPECT_EQ(x.t.table.deviceCount(), added ? 5 : 4) << c.what;
        EXPECT_EQ(d.model.lblTotalU.caption, added ? "5" : "4") << c.what;
        EXPECT_EQ(d.selectedSlot(), added ? 5 : 1) << c.what;
    }
}

TEST(DeviceEditor, RemoveClosesTheGapAndTheCurrentDeviceFollows) {
    EditorWorld x;
    x.t.cboCurUnit_Click(3); // slot 4 is current
    x.edit([&](FrmDProp& d) {
        d.cboNumU_Click(2);
        d.txtName_Change("third");
        d.optAEnable_Click(1); // slot 3 edited
        d.cboNumU_Click(1);    // slot 2
        x.w.op.answer(Answer::Yes);
        d.cmdRemuve_Click();
        EXPECT_EQ(d.model.cboNumU.items, (Lines{"1", "3", "4"}));
        EXPECT_EQ(d.selectedSlot(), 3); // the current device, now one slot lower
        // The run-time values and the flag moved with their devices.
        EXPECT_EQ(nums(x.t.table.status(2).Total, x.t.table.status(3).Total), nums(15, 20));
        EXPECT_EQ(x.t.table.status(4), config::DeviceStatus{});
        EXPECT_TRUE(x.t.edited[2] && !x.t.edited[3]);
        // The next device goes after the last one, overwriting nothing.
        x.w.op.type("5");
        x.w.op.type("05");
        d.cmdAdd_Click();
        EXPECT_EQ(d.selectedSlot(), 4);
        d.cmdOK_Click();
    });
    EXPECT_EQ(x.t.table.record(2).Name, "third");
    EXPECT_EQ(nums(x.t.currentDevice(), x.t.model.cboCurUnit.listIndex), nums(3, 2));
    EXPECT_EQ(x.t.currentAddress, "04");
    EXPECT_EQ(x.t.model.cboCurUnit.items, (Lines{"1", "3", "4", "5"}));
    EXPECT_EQ(x.t.model.sbrStatus1["Total"].text, "Total in System: 4");
    EXPECT_NE(x.setupFile().find("\"5\",\"05\",\"KVT\""), std::string::npos);
}

TEST(DeviceEditor, RefusesRemovingTheCurrentDeviceAndAddingASixtyFifth) {
    EditorWorld x;
    auto& d = x.open();
    d.cmdRemuve_Click();
    EXPECT_EQ(x.w.op.texts(),
              Lines{"You have selected device #1, which is currently active in the system!\rIn "
                    "order to remove this device: close Device Properties window and\r change "
                    "device current number on the main KVT Terminal screen."});
    d.cboNumU_Click(3);
    x.w.op.answer(Answer::No);
    d.cmdRemuve_Click();
    ASSERT_EQ(x.w.op.shown.size(), 2u);
    EXPECT_EQ(x.w.op.shown[1].text, "Do you want to remove the device from the system?");
    EXPECT_EQ(x.w.op.shown[1].defaultButton, 1);
    EXPECT_EQ(x.t.table.deviceCount(), 4);

    for (int n = 5; n <= 64; ++n) {
        char address[3];
        std::snprintf(address, sizeof address, "%02X", n + 0x10);
        ASSERT_GT(x.t.table.addDevice(deviceRecord(std::to_string(n), address)), 0);
    }
    x.w.op.shown.clear();
    d.cmdAdd_Click();
    EXPECT_EQ(x.w.op.texts(), Lines{"There are 64 units in the System!"});
    EXPECT_TRUE(x.w.op.prompts.empty());
}

TEST(DeviceEditor, CancelRestoresTheTableAsItWasWithoutReadingTheFile) {
    EditorWorld x;
    const auto before = x.t.table;
    const auto file = x.setupFile();
    const auto listBefore = x.t.model.cboCurUnit.items;
    x.edit([&](FrmDProp& d) {
        d.txtName_Change("renamed");
        d.cboEUnit_Click(3);
        d.cmdTSetZero_Click();
        x.w.op.type("8");
        x.w.op.type("08");
        d.cmdAdd_Click();
        d.cboNumU_Click(2);
        x.w.op.answer(Answer::Yes);
        d.cmdRemuve_Click();
        d.cmdCancel_Click();
    });
    for (int slot = 1; slot <= config::DeviceTable::kMaxDevices; ++slot) {
        EXPECT_EQ(x.t.table.record(slot), before.record(slot)) << slot;
        EXPECT_EQ(x.t.table.status(slot), before.status(slot)) << slot;
    }
    EXPECT_EQ(x.t.model.cboCurUnit.items, listBefore);
    EXPECT_EQ(x.setupFile(), file);
    EXPECT_TRUE(x.w.takeWritten().empty()); // neither Set to Zero nor Cancel sends anything
}

TEST(DeviceEditor, OkSendsEachEditedEnabledDeviceItsSettingsOnceTheWriteWorks) {
    EditorWorld x;
    auto& d = x.open();
    d.txtName_Change("renamed"); // current device: name only, nothing to send
    d.cboNumU_Click(1);
    d.txtMFR_Change("12"); // disabled device: saved, not sent
    d.cboNumU_Click(2);
    d.cboEUnit_Click(7);
    d.optEnable_Click(1);
    d.cboNumU_Click(3);
    d.cboGasTable_Click(1);
    d.cboGasTable_Click(0); // back to what it was: still marked, sent once

    // A write that fails is told; the editor stays open and the edits wait for one that works.
    std::filesystem::remove(x.w.setupPath());
    std::filesystem::create_directory(x.w.setupPath()); // nothing can replace a folder
    d.cmdOK_Click();
    EXPECT_FALSE(d.closed());
    ASSERT_EQ(x.w.op.shown.size(), 1u);
    EXPECT_FALSE(x.w.op.shown[0].text.empty());
    x.w.rt.runUntilIdle(30);
    EXPECT_TRUE(x.w.takeWritten().empty() && x.t.edited[3] && x.t.edited[4]);
    std::filesystem::remove(x.w.setupPath());

    d.cmdOK_Click();
    ASSERT_TRUE(d.closed());
    // Until the loader has sent the edits the editor cannot be opened again.
    EXPECT_FALSE(x.t.model.menu("mnuDProperties").enabled);
    // Midway through the downloads the loader still counts as running.
    bool activeMidway = false;
    x.w.rt.schedule(0.3, [&] { activeMidway = x.t.loaderActive(); });
    x.w.rt.runUntilIdle(120);
    EXPECT_TRUE(activeMidway && !x.t.loaderActive());
    EXPECT_TRUE(x.t.model.menu("mnuDProperties").enabled);

    // The edited devices in table order, each its whole record once.
    EXPECT_EQ(x.w.takeWritten(),
              DeviceWorld::words("!03,g,0 !03,MR,100 !03,u,LBPH !03,V,C !03,M,A !03,t,s,f,10 "
                                 "!03,t,p,t,10000,N !03,r,1,N !03,r,2,N !03,k,d !03,e !03,z,s "
                                 "!04,g,0 !04,MR,100 !04,u,SLPM !04,V,C !04,M,A !04,r,1,N "
                                 "!04,r,2,N !04,k,d !04,e !04,z,s"));
    EXPECT_EQ(std::count(x.t.edited.begin(), x.t.edited.end(), true), 0);
    config::DeviceTable reread;
    config::LoadDeviceTable(reread, x.w.setupPath());
    EXPECT_EQ(reread.record(1).Name + " " + std::to_string(reread.record(3).EngUnit), "renamed 7");
    EXPECT_EQ(reread.record(2).SetPoint, 12.0);
}
