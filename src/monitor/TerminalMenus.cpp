#include "monitor/TerminalMenus.h"

#include <set>

namespace kvt::monitor {

const std::vector<MenuNode>& terminalMenuTree() {
    static const std::vector<MenuNode> tree = [] {
        std::vector<MenuNode> t;
        auto add = [&t](std::string name, std::string parent, std::string caption,
                        std::string shortcut = {}, bool enabled = true, bool separator = false) {
            t.push_back({std::move(name), std::move(parent), std::move(caption),
                         std::move(shortcut), enabled, separator});
        };
        add("mnuFile", "", "&File");
        add("mnuOpenLog", "mnuFile", "&Open Log File...");
        add("mnuCloseLog", "mnuFile", "&Close Log File", "", false);
        add("mnuFileALogO", "mnuFile", "Open A&utoLog File", "Ctrl+O", true, true);
        add("mnuFileALogC", "mnuFile", "CloseAu&toLog File", "F9", false);
        add("mnuOALF", "mnuFile", "Open A&larm LogFile", "F11", true, true);
        add("mnuFileExportCsv", "mnuFile", "Export CSV...", "", true, true);
        add("mnuFileExit", "mnuFile", "E&xit", "Ctrl+X", true, true);

        add("mnuCommands", "", "&Commands");
        add("mnuCommandsFlow", "mnuCommands", "&Flow", "Ctrl+F");
        add("mnuCommandsSetPoint", "mnuCommands", "&SetPoint", "Ctrl+S");
        add("mnuCommandsMode", "mnuCommands", "&Mode");
        add("mnuCommandModeAnalog", "mnuCommandsMode", "Analog", "Ctrl+A");
        add("mnuCommandModeDigital", "mnuCommandsMode", "Digital", "Ctrl+D");
        add("mnuCommandsModeStatus", "mnuCommandsMode", "Status", "Ctrl+U");
        add("mnuCommandsValve", "mnuCommands", "&Valve");
        add("mnuCommandValveClose", "mnuCommandsValve", "Close", "Ctrl+C");
        add("mnuCommandsValveAuto", "mnuCommandsValve", "Auto", "Ctrl+T");
        add("mnuCommandValveOpen", "mnuCommandsValve", "Open", "Ctrl+N");
        add("mnuCommandValveStatus", "mnuCommandsValve", "Status", "Ctrl+V");
        add("mnuAutoS", "mnuCommands", "Auto&Single", "Ctrl+I", true, true);
        add("mnuAutoM", "mnuCommands", "Auto&Multi", "Ctrl+M");
        // Under a menu that stays open while either monitoring mode runs.
        add("mnuTrend", "mnuCommands", "Trend");
        add("mnuBusHealth", "mnuCommands", "Bus Health");
        add("mnuCommProg", "mnuCommands", "Program Mode", "Shift+F9", true, true);

        add("mnuPort", "", "Comm&Port");
        add("mnuOpen", "mnuPort", "Port &Open");
        add("mnuMonitor", "mnuPort", "&Monitor", "Ctrl+R", true, true);
        add("mnuTerminal", "mnuPort", "&Terminal", "", true, true);
        add("mnuStart", "mnuTerminal", "&Start", "F1");
        add("mnuStop", "mnuTerminal", "&Stop", "Ctrl+Q");
        add("mnuProperties", "mnuPort", "Properties...", "", true, true);

        add("Device", "", "&Device");
        add("mnuDeviceInfo", "Device", "Info &Enable", "F2");
        add("mnuDeviceSinhronize", "Device", "&Synchronize");
        add("mnuDeviceSinhronizeTr", "mnuDeviceSinhronize", "Transmit", "F3");
        add("mnuDeviceSinhronizeRx", "mnuDeviceSinhronize", "Receive", "F4");
        add("mnuDeviceAutoZero", "Device", "Auto Zero");
        add("mnuDeviceAutoZeroDisable", "mnuDeviceAutoZero", "Disable", "Ctrl+F1");
        add("mnuDeviceAutoZeroEnable", "mnuDeviceAutoZero", "Enable", "Ctrl+F2");
        add("mnuDeviceAutoZeroDoNow", "mnuDeviceAutoZero", "Do Now");
        add("mnuDeviceAutoZeroSave", "mnuDeviceAutoZero", "Save", "Ctrl+W");
        add("mnuDeviceAutoZeroStatus", "mnuDeviceAutoZero", "Status");
        add("mnuDRec", "Device", "&Recorder");
        add("mnuDRecStart", "mnuDRec", "St&art", "F5", false);
        add("mnuDRecStop", "mnuDRec", "St&op", "F6", false);
        add("mnuView", "Device", "View");
        add("mnuVM4", "mnuView", "Four[4]", "", false);
        add("mnuVM8", "mnuView", "Eight[8]", "Ctrl+F8", false);
        add("mnuDProperties", "Device", "Properties...", "Ctrl+P", true, true);

        add("mnuOptions", "", "&Options");
        add("mnuOptionsEU", "mnuOptions", "&Eng. Units");
        add("mnuOptionsEU_FS", "mnuOptionsEU", "%F.S.");
        add("mnuOptionsEU_SLPM", "mnuOptionsEU", "SLPM");
        add("mnuOptionsEU_SLPH", "mnuOptionsEU", "SLPH");
        add("mnuOptionsEU_mLPM", "mnuOptionsEU", "mLPM");
        add("mnuOptionsEU_mLPH", "mnuOptionsEU", "mLPH");
        add("mnuOptionsEU_SCFH", "mnuOptionsEU", "SCFH");
        add("mnuOptionsEU_SCFM", "mnuOptionsEU", "SCFM");
        add("mnuOptionsEU_LBPH", "mnuOptionsEU", "LBPH");
        add("mnuOptionsEU_LBPM", "mnuOptionsEU", "LBPM");
        add("mnuOptionsEU_USER", "mnuOptionsEU", "USER");
        add("mnuOptionsGasTable", "mnuOptions", "&Gas Table", "Ctrl+G");
        add("mnuOptionsTotal", "mnuOptions", "&Totalizer");
        add("mnuOptionsTotalRead", "mnuOptionsTotal", "Read");
        add("mnuOptionsTotalStartNow", "mnuOptionsTotal", "Start Now");
        add("mnuOptionsTotalStartFlow", "mnuOptionsTotal", "Start @ Flow");
        add("mnuOptionsTotalStopNow", "mnuOptionsTotal", "Stop Now");
        add("mnuOptionsTotalDisable", "mnuOptionsTotal", "Disable");
        add("mnuOptionsTotalReset", "mnuOptionsTotal", "Reset");
        add("mnuOptionsAlarm", "mnuOptions", "&Alarm");
        add("mnuOptionsAlarmStatus", "mnuOptionsAlarm", "Status");
        add("mnuOptionsAlarmEnable", "mnuOptionsAlarm", "Enable");
        add("mnuOptionsAlarmDisable", "mnuOptionsAlarm", "Disable");
        for (const char* n : {"1", "2"}) {
            std::string relay = std::string("mnuOptionsRelay") + n;
            add(relay, "mnuOptions", std::string("Relay&") + n + " Action");
            add(relay + "Status", relay, "Status");
            add(relay + "NA", relay, "No Action");
            add(relay + "Total", relay, "Totalizer");
            add(relay + "AH", relay, "Alarm H");
            add(relay + "AL", relay, "Alarm L");
            add(relay + "AR", relay, "Alarm R");
        }
        add("mnuOptionsKFactor", "mnuOptions", "&K Factors");
        add("mnuOptionKFactorDisable", "mnuOptionsKFactor", "Disable");
        add("mnuOptionsKFactorEnableI", "mnuOptionsKFactor", "Enable Int.");
        add("mnuOptionsKFactorEnableU", "mnuOptionsKFactor", "Enable User");
        add("mnuOptionsTimer", "mnuOptions", "Ti&mer");
        add("mnuOptionsTimerRead", "mnuOptionsTimer", "Read");
        add("mnuOptionsTimerReset", "mnuOptionsTimer", "Reset");

        add("mnuQuery", "", "&Query");
        add("mnuQueryBackDoor", "mnuQuery", "&Back Door...");
        add("mnuQueryBackDoorOpen", "mnuQueryBackDoor", "Open", "Shift+Ctrl+F1");
        add("mnuQueryBackDoorClose", "mnuQueryBackDoor", "Close", "Shift+Ctrl+F2");
        add("mnuQueryMamory", "mnuQuery", "&Memory", "", false);
        add("mnuQueryMamoryRead", "mnuQueryMamory", "Read", "Ctrl+F3");
        add("mnuQueryMamoryWrite", "mnuQueryMamory", "Write", "Ctrl+F4");
        add("mnuQueryRead", "mnuQuery", "&Read", "", false);
        add("mnuQueryReadAnalogO", "mnuQueryRead", "Analog Output", "Shift+F1");
        add("mnuQueryReadAnalogI", "mnuQueryRead", "Analog Input", "Shift+F2");
        add("mnuQueryReadSenAvarage", "mnuQueryRead", "Sensor Average", "Shift+F3");
        add("mnuQueryReadSensorZero", "mnuQueryRead", "Sensor Zero", "Shift+F4");
        add("mnuQueryReadSensorComp", "mnuQueryRead", "Sensor Compens'd", "Shift+F5");
        add("mnuQueryReadValveOut", "mnuQueryRead", "Valve Output", "Shift+F6");
        add("mnuQueryWrite", "mnuQuery", "&Write", "", false);
        add("mnuQueryWriteZero", "mnuQueryWrite", "Zero (0)", "Ctrl+Z");
        add("mnuQueryWriteAnalogOut", "mnuQueryWrite", "Analog Out (1)", "Shift+F7");
        add("mnuQueryWriteValveOut", "mnuQueryWrite", "Valve Output (2)", "Shift+F8");
        add("mnuQueryUpdate", "mnuQuery", "&Update", "", false);
        add("mnuQueryUpdateDisable", "mnuQueryUpdate", "Disable", "Shift+Ctrl+F3");
        add("mnuQueryUpdateEnable", "mnuQueryUpdate", "Enable", "Shift+Ctrl+F4");

        add("mnuTools", "", "&Tools");
        add("mnuToolsCalibrate", "mnuTools", "&Calibrate...");
        add("mnuToolsCalibrateAdcDac", "mnuToolsCalibrate", "&ADC/DAC");
        add("mnuToolsCalibrateCL", "mnuToolsCalibrate", "&Close Loop");
        add("mnuToolsSetSpan", "mnuTools", "&Set Span");
        add("mnuToolsZeroAdj", "mnuTools", "&Zero Adjust.");
        add("mnuToolsValveTable", "mnuTools", "&Valve Table");
        add("mnuToolsEditGasInfo", "mnuTools", "&Edit Gas Info");
        add("mnuToolsEEPROM", "mnuTools", "EE&PROM...");
        add("mnuToolsEEPROMExport", "mnuToolsEEPROM", "&Export");
        add("mnuToolsEEPROMImport", "mnuToolsEEPROM", "&Import");
        add("mnuToolsEEPROMCompare", "mnuToolsEEPROM", "&Compare...");
        add("mnuToolsAutoTune", "mnuTools", "Auto&Tune");

        add("mnuHelp", "", "&Help");
        add("mnuHelpA", "mnuHelp", "&About");
        return t;
    }();
    return tree;
}

bool isMenuParent(const std::string& name) {
    static const std::set<std::string> parents = [] {
        std::set<std::string> p;
        for (const auto& node : terminalMenuTree())
            p.insert(node.parent);
        return p;
    }();
    return parents.count(name) > 0;
}

const std::vector<ToolbarNode>& terminalToolbar() {
    static const std::vector<ToolbarNode> buttons = {
        {"OpenLogFile", "Open Log File..."},
        {"CloseLogFile", "Close Log File"},
        {"ALogO", "Open Auto Log File"},
        {"ALogC", "Close Auto Log File"},
        {"StartAS", "Start / StopAutoSingle Unit Mode"},
        {"StartAM", "Start/Stop AutoMulti Mode"},
        {"DialPhoneNumber", "Synchronize Transmit"},
        {"HangUpPhone", "Synchronize Recieve"},
        {"Properties", "Properties..."},
        {"TransmitTextFile", "Device Info..."},
        {"RStart", "Start Recording"},
        {"RStop", "Stop Recorder"},
        {"Trend", "Trend"},
        {"BusHealth", "Bus Health"},
    };
    return buttons;
}

} // namespace kvt::monitor
