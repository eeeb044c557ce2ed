#pragma once
// The factory values of the simulated handset: every NV item the reference plug-in's settings
// categories show, public items (from the profile where it has the value: MIN, SCM, slot cycle,
// SID/NID) and the private items of plugins/reference/PrivateItems.h. Values are coded with the
// plug-in's own settings codec, so what the simulator holds is what the plug-in reads.
#include <QByteArray>
#include <QList>

struct SHandsetProfile;
class CHandsetState;

struct SNvDefault
{
    quint16 item;
    QByteArray data; // 128 bytes; per-NAM items carry their NAM index in byte 0
};

QList<SNvDefault> FactoryNvItems(const SHandsetProfile& profile);

// Writes every factory value the state does not hold yet (items already there win).
void SeedNvDefaults(CHandsetState& state);
