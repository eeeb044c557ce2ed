#include "SettingsMap.h"

#include "PrivateItems.h"
#include "pages/NvCatalogue.h"

#include <iterator>

namespace {

struct SRow
{
    const char* name;
    SNvField field;
};

const char ENABLE[] = "Disable|Enable";

// Offsets are data bytes: in the NAM items byte 0 is the NAM index.
const SRow GENERAL[] = {
    {"SCM", {.item = 4, .kind = NK_HEX, .width = 1}},
    {"Voice Privacy", {.item = 179, .kind = NK_NUMBER, .width = 1, .choices = "Standard|Enhanced"}},
    {"Slot Cycle Index", {.item = 5, .kind = NK_NUMBER, .width = 1, .choices = "0|1|2|3|4|5|6|7"}},
};

const SRow NAM[] = {
    {"NAM Name", {.item = 43, .offset = 1, .kind = NK_TEXT, .width = 12}},
    {"MDN", {.item = 178, .offset = 1, .kind = NK_DIGITS, .width = 10}},
    {"CDMA Home SID/NID", {.item = 259, .offset = 1, .kind = NK_SIDNID, .width = 4}},
    {"CDMA Negative SID/NID", {.item = 255, .offset = 1, .kind = NK_SIDNID, .width = 4}},
    {"MIN1", {.item = 32, .offset = 1, .kind = NK_NUMBER, .width = 4, .copy = true}},
    {"MIN2", {.item = 33, .offset = 1, .kind = NK_NUMBER, .width = 2, .copy = true}},
    {"MCC", {.item = 176, .offset = 1, .kind = NK_MCC, .width = 2, .minLength = 3}},
    {"IMSI_S", {.item = 33, .item2 = 32, .offset = 1, .kind = NK_IMSI_S, .width = 10, .minLength = 10}},
    {"MNC", {.item = 177, .offset = 1, .kind = NK_MNC, .width = 1, .minLength = 2}},
    {"Primary CDMA Ch, A band", {.item = 20, .offset = 1, .kind = NK_NUMBER, .width = 2}},
    {"Secondary CDMA Ch, A band", {.item = 21, .offset = 1, .kind = NK_NUMBER, .width = 2}},
    {"Primary CDMA Ch, B band", {.item = 20, .offset = 3, .kind = NK_NUMBER, .width = 2}},
    {"Secondary CDMA Ch, B band", {.item = 21, .offset = 3, .kind = NK_NUMBER, .width = 2}},
    {"ACCOLC", {.item = 37, .offset = 1, .kind = NK_NUMBER, .width = 1, .copy = true}},
    {"Vocoder Selection",
     {.item = 285, .offset = 1, .kind = NK_NUMBER, .width = 1, .choices = "EVRC disabled|EVRC enabled"}},
    {"Prefered Voice SO for Home Page", {.item = 285, .offset = 2, .kind = NK_NUMBER, .width = 2}},
    {"Prefered Voice SO for Home Origination", {.item = 285, .offset = 4, .kind = NK_NUMBER, .width = 2}},
    {"Prefered Voice SO for Roam Origination", {.item = 285, .offset = 6, .kind = NK_NUMBER, .width = 2}},
    {"Register - Home SID",
     {.item = 34, .offset = 1, .kind = NK_NUMBER, .width = 1, .copy = true, .choices = ENABLE}},
    {"Register - Foreign SID ",
     {.item = 35, .offset = 1, .kind = NK_NUMBER, .width = 1, .copy = true, .choices = ENABLE}},
    {"Register - Foreign NID",
     {.item = 36, .offset = 1, .kind = NK_NUMBER, .width = 1, .copy = true, .choices = ENABLE}},
    {"OTAPA Enable", {.item = 260, .offset = 1, .kind = NK_NUMBER, .width = 1, .choices = ENABLE}},
    {"SPASM", {.item = 261, .offset = 1, .kind = NK_NUMBER, .width = 1, .choices = ENABLE}},
    {"System Select Preference",
     {.item = 258,
      .offset = 1,
      .kind = NK_NUMBER,
      .width = 1,
      .choices = "A only|B only|Home only|Home preferred"}},
};

const SRow SECURITY[] = {
    {"Service Programming Code(SPC)", {.item = 85, .kind = NK_DIGITS, .width = 6, .minLength = 6}},
    {"Service Programming Code Change Enable",
     {.item = 296, .kind = NK_NUMBER, .width = 1, .choices = ENABLE}},
};

const SRow FEATURE[] = {
    {"Lock Mode", {.item = 83, .kind = NK_NUMBER, .width = 1}},
    {"DTMF, Key Beep Length", {.item = 67, .kind = NK_NUMBER, .width = 1, .choices = "Short|Long"}},
    {"Auto Retry (auto re-dial) ", {.item = 75, .kind = NK_NUMBER, .width = 1, .choices = ENABLE}},
    {"Auto Answer-Headset", {.item = 74, .kind = NK_NUMBER, .width = 1, .choices = ENABLE}},
    {"Backlight (NOT DISPLAY)", {.item = 77, .kind = NK_NUMBER, .width = 1}},
    {"All SW Versions numbers", {.kind = NK_SW_VERSION, .readOnly = true}},
    {"All HW Versions numbers", {.kind = NK_HW_VERSION, .readOnly = true}},
    {"PRL ID", {.kind = NK_PRL_ID, .readOnly = true}},
    {"ERI ID", {.item = 4025, .kind = NK_NUMBER, .width = 2}},
    {"Display ESN/MEID (in Decimal & Hex)", {.item = 0, .kind = NK_ESN, .width = 4, .readOnly = true}},
    {"Voice_Priv", {.item = 179, .kind = NK_NUMBER, .width = 1, .choices = "Standard|Enhanced"}},
};

// Item 465 (mobile-IP user profile): profile index, NAI length, NAI[72], MN-HA SPI set, MN-HA SPI
// (u32), MN-AAA SPI set, MN-AAA SPI (u32), reverse tunnelling, home address, primary and
// secondary home agent. Item 466: profile index, then length + 16 bytes for each shared secret.
const SRow DATA[] = {
    {"QNC_ENABLED", {.item = 240, .kind = NK_NUMBER, .width = 1, .choices = ENABLE}},
    {"MIP_MODE",
     {.item = 459,
      .kind = NK_NUMBER,
      .width = 1,
      .choices = "Simple IP only|Mobile IP preferred|Mobile IP only"}},
    {"MIP Registration Retries", {.item = 460, .kind = NK_NUMBER, .width = 1}},
    {"MIP Registration Retry Timeout", {.item = 461, .kind = NK_NUMBER, .width = 1}},
    {"MIP Pre-Reregistration Timeout", {.item = 462, .kind = NK_NUMBER, .width = 1}},
    {"Number of Profiles", {.item = 463, .kind = NK_NUMBER, .width = 1}},
    {"MN-HA Authentication", {.item = 546, .kind = NK_NUMBER, .width = 1}},
    {"MIP NAI", {.item = 465, .offset = 1, .kind = NK_LTEXT, .width = 72}},
    {"MN HA SPI Set", {.item = 465, .offset = 74, .kind = NK_NUMBER, .width = 1, .choices = "No|Yes"}},
    {"MN HA SPI Value", {.item = 465, .offset = 75, .kind = NK_NUMBER, .width = 4}},
    {"MIP MN-HA Shared Secret", {.item = 466, .offset = 1, .kind = NK_LTEXT, .width = 16}},
    {"MN AAA SPI Value", {.item = 465, .offset = 80, .kind = NK_NUMBER, .width = 4}},
    {"MIP MN-AAA Shared Secret", {.item = 466, .offset = 18, .kind = NK_LTEXT, .width = 16}},
    {"Reverse Tunneling", {.item = 465, .offset = 84, .kind = NK_NUMBER, .width = 1, .choices = ENABLE}},
    {"Home IP Address", {.item = 465, .offset = 85, .kind = NK_IPV4, .width = 4}},
    {"Home Agent IP Address", {.item = 465, .offset = 89, .kind = NK_IPV4, .width = 4}},
    {"DNS Primary", {.item = 423, .kind = NK_IPV4, .width = 4}},
    {"DNS Secondary", {.item = 424, .kind = NK_IPV4, .width = 4}},
    {"SIP NAI", {.item = 910, .kind = NK_LTEXT, .width = 72}},
    {"SIP Password", {.item = 906, .kind = NK_LTEXT, .width = 16}},
    {"AN NAI", {.item = 579, .kind = NK_LTEXT, .width = 72}},
    {"AN Password", {.item = 580, .kind = NK_LTEXT, .width = 16}},
    {"DATA_PKT_ORIG_STR", {.item = 298, .kind = NK_LDIAL, .width = 16}},
    {"DATA_SCRM_ENABLED", {.item = 429, .kind = NK_NUMBER, .width = 1, .choices = ENABLE}},
    {"DATA_TRTL_ENABLED", {.item = 450, .kind = NK_NUMBER, .width = 1, .choices = ENABLE}},
    {"DATA_SO_SET", {.item = 241, .kind = NK_NUMBER, .width = 1}},
    {"hybrid_pref(1xEV-DO)", {.item = 562, .kind = NK_NUMBER, .width = 1, .choices = "Off|On"}},
    // Item 10 is kept per NAM; this category serves NAM1 (data byte 0 stays 0).
    {"pref_mode(1xEV-DO)",
     {.item = 10,
      .offset = 1,
      .kind = NK_NUMBER,
      .width = 1,
      .choices = "0=Digital preferred|1=Digital only|2=Analog preferred|3=Analog only|4=Automatic|"
                 "5=Emergency|6=Home only|9=1x only|10=HDR only|19=1x + HDR"}},
};

const SLeftOutRow LEFT_OUT[] = {
    {5, "DMU RSA Public Key", "item 854: layout unknown"},
    {5, "DUN MIP NAI", "item 2825: layout unknown"},
    {5, "MN_Authenticator", "item 889: layout unknown"},
};

std::span<const SRow> PublicRows(int category)
{
    switch (category) {
    case 0:
        return GENERAL;
    case 1:
    case 2:
        return NAM;
    case 3:
        return SECURITY;
    case 4:
        return FEATURE;
    case 5:
        return DATA;
    default:
        return {};
    }
}

} // namespace

int SettingsNamOf(int category)
{
    return category == 1 ? 0 : (category == 2 ? 1 : -1);
}

bool SettingsRowField(int category, int row, SNvField& field)
{
    const QString name = NvItemName(category, row);
    if (name.isEmpty())
        return false;
    for (const SRow& r : PublicRows(category))
        if (name == QLatin1String(r.name)) {
            field = r.field;
            return true;
        }
    int occurrence = 0;
    for (int i = 0; i < row; ++i)
        occurrence += NvItemName(category, i) == name ? 1 : 0;
    if (const SPrivateItem* p = FindPrivateItem(category, name, occurrence)) {
        field = PrivateField(*p);
        return true;
    }
    return false;
}

std::span<const SLeftOutRow> SettingsLeftOut()
{
    return LEFT_OUT;
}
