#include "NvCatalogue.h"

#include <iterator>

// Item names exactly as the settings grid shows them (trailing blanks included).
namespace {

const char* const kGeneralNam[] = {
    "SCM",
    "Voice Privacy",
    "Slot Cycle Index",
};

const char* const kNam[] = {
    "NAM Name",
    "MDN",
    "CDMA Home SID/NID",
    "CDMA Negative SID/NID",
    "MIN1",
    "MIN2",
    "MCC",
    "IMSI_S",
    "MNC",
    "Primary CDMA Ch, A band",
    "Secondary CDMA Ch, A band",
    "Primary CDMA Ch, B band",
    "Secondary CDMA Ch, B band",
    "ACCOLC",
    "Vocoder Selection",
    "Prefered Voice SO for Home Page",
    "Prefered Voice SO for Home Origination",
    "Prefered Voice SO for Roam Origination",
    "Register - Home SID",
    "Register - Foreign SID ",
    "Register - Foreign NID",
    "OTAPA Enable",
    "SPASM",
    "System Select Preference",
};

const char* const kSystemSecurity[] = {
    "Service Programming Code(SPC)",
    "Service Programming Code Change Enable",
};

const char* const kFeature[] = {
    "Lock Mode",
    "Location Lock Mode",
    "DTMF, Key Beep Length",
    "Auto Retry (auto re-dial) ",
    "Auto Answer-Headset",
    "Language",
    "Backlight (NOT DISPLAY)",
    "Lifetime calls",
    "All SW Versions numbers",
    "All HW Versions numbers",
    "PRL ID",
    "ERI ID",
    "Display ESN/MEID (in Decimal & Hex)",
    "Idle screen banner (text)",
    "Voice Mail Call Back #",
    "Emergency Numbers",
    "Emergency Numbers",
    "Emergency Numbers",
    "ERI Banner",
    "Keypad Backlight",
    "Wallpaper",
    "Display Theme",
    "Dial Font",
    "Main Clock",
    "Front Clock",
    "Power Saver ",
    "Short Cut",
    "Location Set",
    "Common Code",
    "Restrict Call",
    "TTY",
    "One Touch Dial",
    "Voice_Priv",
    "Restrict Outgoing Call",
    "Dataport",
    "Baudrate",
    "Ringer ID",
    "Picture ID",
    "Master volume level(method = RING)",
    "Key beep volume level",
    "EAR volume level in voice conversation",
    "Speaker Phone volume level in voice conversation",
    "Speaker Phone Key beep volume level",
    "Headset key beep level",
    "Headset volume level in voice conversation",
    "Ringer Backup volume level",
    "Master volume level(method = MIDI)",
    "Call Sound Vibrate ON/OFF",
    "TXT Msg Ringtone",
    "TXT Msg Vibrate ON/OFF",
    "TXT Msg Reminder",
    "PIX-FLIX Ringtone",
    "PIX-FLIX Vibrate ON/OFF",
    "PIX-FLIX Reminder",
    "Voicemail Ringtone",
    "Voicemail Vibrate ON/OFF",
    "Voicemail Reminder",
    "Alarm Sound Ringtone",
    "Alarm Vibrate ON/OFF",
    "ERI sound",
    "Minute beep sound",
    "Call connect sound",
    "Power On Sound",
    "Power Off Sound",
    "World Clock City",
    "AVR Enable",
    "AVR Choice List",
    "AVR Prompt Mode",
    "AVR Prompt Timeout",
    "AVR Call Alert",
    "Folder Sound",
    "Sub LCD Contrast",
};

const char* const kDataParameter[] = {
    "QNC_ENABLED",
    "MDR_MODE",
    "MIP_MODE",
    "MIP Registration Retries",
    "MIP Registration Retry Timeout",
    "MIP Pre-Reregistration Timeout",
    "Number of Profiles",
    "MN-HA Authentication",
    "Dormant Handoff Optimization",
    "DMU RSA Public Key",
    "MIP NAI",
    "DUN MIP NAI",
    "MN_Authenticator",
    "MN HA SPI Set",
    "MN HA SPI Value",
    "MIP MN-HA Shared Secret",
    "MN AAA SPI Value",
    "MIP MN-AAA Shared Secret",
    "Reverse Tunneling",
    "Home IP Address",
    "Home Agent IP Address",
    "DNS Primary",
    "DNS Secondary",
    "SIP NAI",
    "DUN SIP NAI",
    "SIP Password",
    "AN NAI",
    "AN Password",
    "DATA_PKT_ORIG_STR",
    "DATA_SCRM_ENABLED",
    "DATA_TRTL_ENABLED",
    "DATA_AUTO_PACKET_DETECTION",
    "PREF_FOR_RC",
    "DATA_SO_SET",
    "hybrid_pref(1xEV-DO)",
    "pref_mode(1xEV-DO)",
};

const char* const kSmsEms[] = {
    "MO-SMS SO",
    "MO-SMS enable",
    "Resend Preiod",
    "Resend Count",
    "SMS Max Submit Message Size",
    "EMS Max Submit Message Size",
    "Transport Methods",
    "Data Encoding",
    "IS-41 Workaround",
    "SMS Time Adjust",
    "Standard SMS Email Enabled",
    "Auto Delete",
    "Auto Save",
    "Delivery Ack",
};

const char* const kMms[] = {
    "MMSC Server Name(Commercial)",
    "MMSC Server Name(LAB)",
    "MML Server Name",
    "PIX Place",
    "Call Back Number Support in MM",
    "Capable of 1xRTT",
    "1X Data User Name(Commercial)",
    "1X Data User Name(LAB)",
    "1X Data Password(Commercial)",
    "1X Data Password(LAB)",
    "Authorization Mode",
    "Auto Receive",
    "Default Resolution (Camera)",
    "Number of Retries",
    "UAProf URL",
    "Timeout no response from MMSC",
    "Delivery Ack",
    "Shutter Sound",
    "Color Effects",
    "Brightness And Contrast(PIX)",
    "White Balance(PIX)",
    "Brightness and Contrast(FLIX)",
    "White Balance(FLIX)",
};

const char* const kWap[] = {
    "Primary Server URL", "Secondary Server URL", "Gateway Port Number", "User Name", "Password",
    "Homepage",           "Service Load",
};

const char* const kBrew[] = {
    "Primary ADS",
    "Secondary ADS",
    "Platform ID",
    "Carrier ID",
    "BKey",
    "BREW Download Flags",
    "User Auth Flag",
    "App Execution Policy",
    "BREW DNS IP (primary)",
    "BREW DNS IP (secondary)",
    "BREW VOD CLASSID",
    "BREW Mobile IM CLASSID",
};

const char* const kLbs[] = {
    "PDE IP Address",
    "PDE Port Number",
};

struct SCategory
{
    const char* tab;
    const char* const* items;
    int count;
};

const SCategory kCategories[NV_CATEGORY_COUNT] = {
    {"General NAM", kGeneralNam, int(std::size(kGeneralNam))},
    {"NAM1", kNam, int(std::size(kNam))},
    {"NAM2", kNam, int(std::size(kNam))},
    {"System Security", kSystemSecurity, int(std::size(kSystemSecurity))},
    {"FEATURE", kFeature, int(std::size(kFeature))},
    {"Data Parameter", kDataParameter, int(std::size(kDataParameter))},
    {"SMS_EMS", kSmsEms, int(std::size(kSmsEms))},
    {"MMS", kMms, int(std::size(kMms))},
    {"WAP", kWap, int(std::size(kWap))},
    {"BREW", kBrew, int(std::size(kBrew))},
    {"LBS", kLbs, int(std::size(kLbs))},
    {"PTT", nullptr, 0},
    {"Reserved1", nullptr, 0},
    {"Reserved2", nullptr, 0},
};

} // namespace

QString NvCategoryTabText(int category)
{
    if (category < 0 || category >= NV_CATEGORY_COUNT)
        return {};
    return QString::fromLatin1(kCategories[category].tab);
}

int NvCategoryItemCount(int category)
{
    if (category < 0 || category >= NV_CATEGORY_COUNT)
        return 0;
    return kCategories[category].count;
}

QStringList NvCategoryItems(int category)
{
    QStringList names;
    const int n = NvCategoryItemCount(category);
    names.reserve(n);
    for (int i = 0; i < n; ++i)
        names.append(QString::fromLatin1(kCategories[category].items[i]));
    return names;
}

QString NvItemName(int category, int row)
{
    if (row < 0 || row >= NvCategoryItemCount(category))
        return {};
    return QString::fromLatin1(kCategories[category].items[row]);
}

int NvTotalItemCount()
{
    int total = 0;
    for (const SCategory& c : kCategories)
        total += c.count;
    return total;
}
