#include "PrivateItems.h"

#include <iterator>

namespace {

constexpr int FEATURE = 4, DATA = 5, SMS = 6, MMS = 7, WAP = 8, BREW = 9, LBS = 10;

const char ONOFF[] = "OFF|ON";
const char OFFON[] = "Off|On";
const char ENABLE[] = "Disable|Enable";
const char NOYES[] = "No|Yes";
const char VOLUME[] = "Off|1|2|3|4|5|6|7";
const char REMINDER[] = "Off|Once|Every 2 minutes|Every 15 minutes";
const char CLOCK[] = "Digital|Analog|Off";
const char BALANCE[] = "Auto|Sunny|Cloudy|Tungsten|Fluorescent";

// Catalogue order within each category.
const SPrivateItem ITEMS[] = {
    // FEATURE
    {FEATURE, "Location Lock Mode", 0, 0xF000, NK_NUMBER, 1, "Location On|E911 Only", "Location On", false},
    {FEATURE, "Language", 0, 0xF001, NK_NUMBER, 1, "English|Spanish|French|Korean", "English", false},
    {FEATURE, "Lifetime calls", 0, 0xF002, NK_NUMBER, 4, nullptr, "0", true},
    {FEATURE, "Idle screen banner (text)", 0, 0xF003, NK_TEXT, 32, nullptr, "KOVA", false},
    {FEATURE, "Voice Mail Call Back #", 0, 0xF004, NK_DIAL, 32, nullptr, "*86", false},
    {FEATURE, "Emergency Numbers", 0, 0xF005, NK_DIAL, 32, nullptr, "911", false},
    {FEATURE, "Emergency Numbers", 1, 0xF006, NK_DIAL, 32, nullptr, "*911", false},
    {FEATURE, "Emergency Numbers", 2, 0xF007, NK_DIAL, 32, nullptr, "#911", false},
    {FEATURE, "ERI Banner", 0, 0xF008, NK_NUMBER, 1, ENABLE, "Enable", false},
    {FEATURE, "Keypad Backlight", 0, 0xF009, NK_NUMBER, 1, "Off|7 seconds|15 seconds|30 seconds|Always on",
     "7 seconds", false},
    {FEATURE, "Wallpaper", 0, 0xF00A, NK_NUMBER, 1, nullptr, "1", false},
    {FEATURE, "Display Theme", 0, 0xF00B, NK_NUMBER, 1, "Classic|Blue|Silver|Black", "Classic", false},
    {FEATURE, "Dial Font", 0, 0xF00C, NK_NUMBER, 1, "Normal|Large|Extra large", "Normal", false},
    {FEATURE, "Main Clock", 0, 0xF00D, NK_NUMBER, 1, CLOCK, "Digital", false},
    {FEATURE, "Front Clock", 0, 0xF00E, NK_NUMBER, 1, CLOCK, "Digital", false},
    {FEATURE, "Power Saver ", 0, 0xF00F, NK_NUMBER, 1, ENABLE, "Disable", false},
    {FEATURE, "Short Cut", 0, 0xF010, NK_NUMBER, 1, ENABLE, "Enable", false},
    {FEATURE, "Location Set", 0, 0xF011, NK_NUMBER, 1, OFFON, "On", false},
    {FEATURE, "Common Code", 0, 0xF012, NK_DIGITS, 4, nullptr, "0000", false},
    {FEATURE, "Restrict Call", 0, 0xF013, NK_NUMBER, 1, ENABLE, "Disable", false},
    {FEATURE, "TTY", 0, 0xF014, NK_NUMBER, 1, "TTY Off|TTY Full|TTY + Talk|TTY + Hear", "TTY Off", false},
    {FEATURE, "One Touch Dial", 0, 0xF015, NK_NUMBER, 1, ENABLE, "Enable", false},
    {FEATURE, "Restrict Outgoing Call", 0, 0xF016, NK_NUMBER, 1, "Allow all|Contacts only|Block all",
     "Allow all", false},
    {FEATURE, "Dataport", 0, 0xF017, NK_NUMBER, 1, "Closed|USB|Serial", "USB", false},
    {FEATURE, "Baudrate", 0, 0xF018, NK_NUMBER, 4,
     "19200=19200|38400=38400|57600=57600|115200=115200|230400=230400", "115200", false},
    {FEATURE, "Ringer ID", 0, 0xF019, NK_NUMBER, 1, ENABLE, "Enable", false},
    {FEATURE, "Picture ID", 0, 0xF01A, NK_NUMBER, 1, ENABLE, "Enable", false},
    {FEATURE, "Master volume level(method = RING)", 0, 0xF01B, NK_NUMBER, 1, VOLUME, "4", false},
    {FEATURE, "Key beep volume level", 0, 0xF01C, NK_NUMBER, 1, VOLUME, "3", false},
    {FEATURE, "EAR volume level in voice conversation", 0, 0xF01D, NK_NUMBER, 1, VOLUME, "4", false},
    {FEATURE, "Speaker Phone volume level in voice conversation", 0, 0xF01E, NK_NUMBER, 1, VOLUME, "5",
     false},
    {FEATURE, "Speaker Phone Key beep volume level", 0, 0xF01F, NK_NUMBER, 1, VOLUME, "3", false},
    {FEATURE, "Headset key beep level", 0, 0xF020, NK_NUMBER, 1, VOLUME, "2", false},
    {FEATURE, "Headset volume level in voice conversation", 0, 0xF021, NK_NUMBER, 1, VOLUME, "4", false},
    {FEATURE, "Ringer Backup volume level", 0, 0xF022, NK_NUMBER, 1, VOLUME, "4", false},
    {FEATURE, "Master volume level(method = MIDI)", 0, 0xF023, NK_NUMBER, 1, VOLUME, "4", false},
    {FEATURE, "Call Sound Vibrate ON/OFF", 0, 0xF024, NK_NUMBER, 1, ONOFF, "OFF", false},
    {FEATURE, "TXT Msg Ringtone", 0, 0xF025, NK_NUMBER, 1, nullptr, "3", false},
    {FEATURE, "TXT Msg Vibrate ON/OFF", 0, 0xF026, NK_NUMBER, 1, ONOFF, "OFF", false},
    {FEATURE, "TXT Msg Reminder", 0, 0xF027, NK_NUMBER, 1, REMINDER, "Once", false},
    {FEATURE, "PIX-FLIX Ringtone", 0, 0xF028, NK_NUMBER, 1, nullptr, "4", false},
    {FEATURE, "PIX-FLIX Vibrate ON/OFF", 0, 0xF029, NK_NUMBER, 1, ONOFF, "OFF", false},
    {FEATURE, "PIX-FLIX Reminder", 0, 0xF02A, NK_NUMBER, 1, REMINDER, "Once", false},
    {FEATURE, "Voicemail Ringtone", 0, 0xF02B, NK_NUMBER, 1, nullptr, "5", false},
    {FEATURE, "Voicemail Vibrate ON/OFF", 0, 0xF02C, NK_NUMBER, 1, ONOFF, "OFF", false},
    {FEATURE, "Voicemail Reminder", 0, 0xF02D, NK_NUMBER, 1, REMINDER, "Once", false},
    {FEATURE, "Alarm Sound Ringtone", 0, 0xF02E, NK_NUMBER, 1, nullptr, "6", false},
    {FEATURE, "Alarm Vibrate ON/OFF", 0, 0xF02F, NK_NUMBER, 1, ONOFF, "ON", false},
    {FEATURE, "ERI sound", 0, 0xF030, NK_NUMBER, 1, ENABLE, "Enable", false},
    {FEATURE, "Minute beep sound", 0, 0xF031, NK_NUMBER, 1, OFFON, "Off", false},
    {FEATURE, "Call connect sound", 0, 0xF032, NK_NUMBER, 1, OFFON, "On", false},
    {FEATURE, "Power On Sound", 0, 0xF033, NK_NUMBER, 1, OFFON, "On", false},
    {FEATURE, "Power Off Sound", 0, 0xF034, NK_NUMBER, 1, OFFON, "On", false},
    {FEATURE, "World Clock City", 0, 0xF035, NK_TEXT, 24, nullptr, "New York", false},
    {FEATURE, "AVR Enable", 0, 0xF036, NK_NUMBER, 1, ENABLE, "Enable", false},
    {FEATURE, "AVR Choice List", 0, 0xF037, NK_NUMBER, 1, "Automatic|Always on|Always off", "Automatic",
     false},
    {FEATURE, "AVR Prompt Mode", 0, 0xF038, NK_NUMBER, 1, "Prompts|Readout + Alerts|Tones only", "Prompts",
     false},
    {FEATURE, "AVR Prompt Timeout", 0, 0xF039, NK_NUMBER, 1, nullptr, "5", false},
    {FEATURE, "AVR Call Alert", 0, 0xF03A, NK_NUMBER, 1, "Ring only|Caller ID + Ring|Name repeat",
     "Ring only", false},
    {FEATURE, "Folder Sound", 0, 0xF03B, NK_NUMBER, 1, OFFON, "On", false},
    {FEATURE, "Sub LCD Contrast", 0, 0xF03C, NK_NUMBER, 1, nullptr, "3", false},
    // SMS_EMS
    {SMS, "MO-SMS SO", 0, 0xF100, NK_NUMBER, 1, "6=SO 6|14=SO 14", "SO 6", false},
    {SMS, "MO-SMS enable", 0, 0xF101, NK_NUMBER, 1, ENABLE, "Enable", false},
    {SMS, "Resend Preiod", 0, 0xF102, NK_NUMBER, 1, nullptr, "5", false},
    {SMS, "Resend Count", 0, 0xF103, NK_NUMBER, 1, nullptr, "2", false},
    {SMS, "SMS Max Submit Message Size", 0, 0xF104, NK_NUMBER, 2, nullptr, "160", false},
    {SMS, "EMS Max Submit Message Size", 0, 0xF105, NK_NUMBER, 2, nullptr, "1600", false},
    {SMS, "Transport Methods", 0, 0xF106, NK_NUMBER, 1, "Access channel|Traffic channel|Automatic",
     "Automatic", false},
    {SMS, "Data Encoding", 0, 0xF107, NK_NUMBER, 1, "7-bit ASCII|Unicode|Octet", "7-bit ASCII", false},
    {SMS, "IS-41 Workaround", 0, 0xF108, NK_NUMBER, 1, ENABLE, "Disable", false},
    {SMS, "SMS Time Adjust", 0, 0xF109, NK_NUMBER, 1, nullptr, "0", false},
    {SMS, "Standard SMS Email Enabled", 0, 0xF10A, NK_NUMBER, 1, ENABLE, "Enable", false},
    {SMS, "Auto Delete", 0, 0xF10B, NK_NUMBER, 1, ENABLE, "Disable", false},
    {SMS, "Auto Save", 0, 0xF10C, NK_NUMBER, 1, ENABLE, "Enable", false},
    {SMS, "Delivery Ack", 0, 0xF10D, NK_NUMBER, 1, ENABLE, "Disable", false},
    // MMS
    {MMS, "MMSC Server Name(Commercial)", 0, 0xF200, NK_TEXT, 64, nullptr,
     "http://mms.kova.example/servlets/mms", false},
    {MMS, "MMSC Server Name(LAB)", 0, 0xF201, NK_TEXT, 64, nullptr,
     "http://mms-lab.kova.example/servlets/mms", false},
    {MMS, "MML Server Name", 0, 0xF202, NK_TEXT, 64, nullptr, "http://mml.kova.example", false},
    {MMS, "PIX Place", 0, 0xF203, NK_TEXT, 64, nullptr, "http://pix.kova.example", false},
    {MMS, "Call Back Number Support in MM", 0, 0xF204, NK_NUMBER, 1, NOYES, "Yes", false},
    {MMS, "Capable of 1xRTT", 0, 0xF205, NK_NUMBER, 1, NOYES, "Yes", false},
    {MMS, "1X Data User Name(Commercial)", 0, 0xF206, NK_TEXT, 32, nullptr, "kova", false},
    {MMS, "1X Data User Name(LAB)", 0, 0xF207, NK_TEXT, 32, nullptr, "kovalab", false},
    {MMS, "1X Data Password(Commercial)", 0, 0xF208, NK_TEXT, 32, nullptr, "kova", false},
    {MMS, "1X Data Password(LAB)", 0, 0xF209, NK_TEXT, 32, nullptr, "kovalab", false},
    {MMS, "Authorization Mode", 0, 0xF20A, NK_NUMBER, 1, "None|PAP|CHAP", "CHAP", false},
    {MMS, "Auto Receive", 0, 0xF20B, NK_NUMBER, 1, ENABLE, "Enable", false},
    {MMS, "Default Resolution (Camera)", 0, 0xF20C, NK_NUMBER, 1, "640x480|320x240|176x144|160x120",
     "640x480", false},
    {MMS, "Number of Retries", 0, 0xF20D, NK_NUMBER, 1, nullptr, "3", false},
    {MMS, "UAProf URL", 0, 0xF20E, NK_TEXT, 64, nullptr, "http://uaprof.kova.example/VKQ100.xml", false},
    {MMS, "Timeout no response from MMSC", 0, 0xF20F, NK_NUMBER, 2, nullptr, "60", false},
    {MMS, "Delivery Ack", 0, 0xF210, NK_NUMBER, 1, ENABLE, "Disable", false},
    {MMS, "Shutter Sound", 0, 0xF211, NK_NUMBER, 1, "Off|Shutter|Say Cheese|Ready 123", "Shutter", false},
    {MMS, "Color Effects", 0, 0xF212, NK_NUMBER, 1, "Normal|Mono|Sepia|Negative", "Normal", false},
    {MMS, "Brightness And Contrast(PIX)", 0, 0xF213, NK_NUMBER, 1, nullptr, "5", false},
    {MMS, "White Balance(PIX)", 0, 0xF214, NK_NUMBER, 1, BALANCE, "Auto", false},
    {MMS, "Brightness and Contrast(FLIX)", 0, 0xF215, NK_NUMBER, 1, nullptr, "5", false},
    {MMS, "White Balance(FLIX)", 0, 0xF216, NK_NUMBER, 1, BALANCE, "Auto", false},
    // WAP
    {WAP, "Primary Server URL", 0, 0xF300, NK_TEXT, 64, nullptr, "http://wap.kova.example", false},
    {WAP, "Secondary Server URL", 0, 0xF301, NK_TEXT, 64, nullptr, "http://wap2.kova.example", false},
    {WAP, "Gateway Port Number", 0, 0xF302, NK_NUMBER, 2, nullptr, "9201", false},
    {WAP, "User Name", 0, 0xF303, NK_TEXT, 32, nullptr, "kova", false},
    {WAP, "Password", 0, 0xF304, NK_TEXT, 32, nullptr, "kova", false},
    {WAP, "Homepage", 0, 0xF305, NK_TEXT, 64, nullptr, "http://home.kova.example", false},
    {WAP, "Service Load", 0, 0xF306, NK_NUMBER, 1, "Never|Prompt|Always", "Prompt", false},
    // BREW
    {BREW, "Primary ADS", 0, 0xF400, NK_TEXT, 64, nullptr, "ads.kova.example", false},
    {BREW, "Secondary ADS", 0, 0xF401, NK_TEXT, 64, nullptr, "ads2.kova.example", false},
    {BREW, "Platform ID", 0, 0xF402, NK_NUMBER, 4, nullptr, "1030", false},
    {BREW, "Carrier ID", 0, 0xF403, NK_NUMBER, 4, nullptr, "42", false},
    {BREW, "BKey", 0, 0xF404, NK_TEXT, 32, nullptr, "0123456789ABCDEF", false},
    {BREW, "BREW Download Flags", 0, 0xF405, NK_HEX, 1, nullptr, "0x3B", false},
    {BREW, "User Auth Flag", 0, 0xF406, NK_NUMBER, 1, ENABLE, "Disable", false},
    {BREW, "App Execution Policy", 0, 0xF407, NK_NUMBER, 1, "Allow all|Signed only|Carrier approved only",
     "Signed only", false},
    {BREW, "BREW DNS IP (primary)", 0, 0xF408, NK_IPV4, 4, nullptr, "198.51.100.53", false},
    {BREW, "BREW DNS IP (secondary)", 0, 0xF409, NK_IPV4, 4, nullptr, "198.51.100.54", false},
    {BREW, "BREW VOD CLASSID", 0, 0xF40A, NK_HEX, 4, nullptr, "0x01009FF0", false},
    {BREW, "BREW Mobile IM CLASSID", 0, 0xF40B, NK_HEX, 4, nullptr, "0x0100A1C2", false},
    // LBS
    {LBS, "PDE IP Address", 0, 0xF500, NK_IPV4, 4, nullptr, "198.51.100.80", false},
    {LBS, "PDE Port Number", 0, 0xF501, NK_NUMBER, 2, nullptr, "4911", false},
    // Data Parameter rows without a public item
    {DATA, "MDR_MODE", 0, 0xF600, NK_NUMBER, 1, "MDR only|MDR if available|No MDR|SO 33 preferred",
     "SO 33 preferred", false},
    {DATA, "Dormant Handoff Optimization", 0, 0xF601, NK_NUMBER, 1, ENABLE, "Enable", false},
    {DATA, "DUN SIP NAI", 0, 0xF602, NK_LTEXT, 72, nullptr, "dun@kova.example", false},
    {DATA, "DATA_AUTO_PACKET_DETECTION", 0, 0xF603, NK_NUMBER, 1, ENABLE, "Disable", false},
    {DATA, "PREF_FOR_RC", 0, 0xF604, NK_NUMBER, 1, nullptr, "3", false},
};

} // namespace

std::span<const SPrivateItem> PrivateItems()
{
    return {ITEMS, std::size(ITEMS)};
}

const SPrivateItem* FindPrivateItem(int category, const QString& row, int occurrence)
{
    for (const SPrivateItem& p : ITEMS)
        if (p.category == category && p.occurrence == occurrence && row == QLatin1String(p.row))
            return &p;
    return nullptr;
}

SNvField PrivateField(const SPrivateItem& p)
{
    SNvField f;
    f.item = p.item;
    f.kind = p.kind;
    f.width = p.width;
    f.choices = p.choices;
    f.readOnly = p.readOnly;
    return f;
}

QByteArray PrivateFactoryData(const SPrivateItem& p)
{
    QByteArray data(128, '\0');
    SNvField f = PrivateField(p);
    f.readOnly = false; // the handset's own value, not a write of the plug-in
    if (!FieldPatch(f, {QString::fromLatin1(p.factory)}, p.item, data))
        return {};
    return data;
}
