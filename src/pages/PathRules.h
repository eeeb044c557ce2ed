#pragma once
// Path rules of the operation pages: where a file chooser starts, the folder chooser's check of a
// typed folder and its creation, and the file names a PRL or ERI read writes into the chosen
// folder.
#include <QString>
#include <QStringList>

// Empty text -> empty; an existing file or folder -> unchanged; otherwise the text is cut back at
// its last "/" again and again and the first cut that exists is returned (a cut that leaves
// nothing before a leading "/" stands for the root "/"); empty when no "/" is left.
QString NearestExistingFolder(const QString& text);

// A typed folder path: absolute ("/" first), names separated by single "/", no trailing "/"
// (except the root "/" itself), no name beginning or ending with a blank, a tab or a full stop,
// none containing a double quote or any of * : < > ? \ |.
bool IsValidFolderPath(const QString& path);

// Creates the folders of path level by level from the root. True when every level exists
// afterwards.
bool CreateFolderLevels(const QString& path);

// The name a PRL read appends to the chosen folder, by NAM: 0 "/nam1_prl_0000.prl",
// 1 "/nam2_prl_0001.prl", 2 "/nam?_prl_000#.prl" (the plug-in fills in ? and #); empty otherwise.
QString PrlReadFileName(int nam);
// The name an ERI read appends: "/eri.bin".
QString EriReadFileName();
// The files a read with this file argument writes: the argument itself, or for "NAM 1,2" the two
// names the plug-in makes of "?" and "#" (nam1_prl_0000.prl and nam2_prl_0001.prl).
QStringList ReadTargetFiles(const QString& fileArgument);
