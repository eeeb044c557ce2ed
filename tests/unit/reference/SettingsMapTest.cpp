// The settings map of the reference plug-in against the page's catalogue, the shared table of
// private items, and the simulator's factory values built from it: a renamed catalogue row, a
// private number given twice or a factory value that does not fit its row all fail here. That
// every mapped row reads a value from the simulator, and the simulator's state folder, are checked
// end to end.
#include "SettingsMap.h"
#include "Efs2Server.h"
#include "NvDefaults.h"
#include "PrivateItems.h"
#include "TestEnv.h"
#include "pages/NvCatalogue.h"
#include "serial/DiagCodec.h"

#include <QDir>
#include <QSet>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The n-th row of a name in a category (0 for the first), or -1.
int RowOf(int category, const QString& name, int occurrence)
{
    const QStringList rows = NvCategoryItems(category);
    for (int r = 0, seen = 0; r < rows.size(); ++r)
        if (rows[r] == name && seen++ == occurrence)
            return r;
    return -1;
}

// Every catalogue row is mapped or deliberately left out; a public item stays below the private
// range, and byte 0 of a NAM item is the NAM index.
TEST(SettingsMap, EveryCatalogueRowIsMappedOrDeliberatelyLeftOut)
{
    QSet<QString> leftOut; // "<category>:<row name>"
    for (const SLeftOutRow& l : SettingsLeftOut()) {
        leftOut << QString::number(l.category) + u':' + QLatin1String(l.name);
        EXPECT_GE(RowOf(l.category, QLatin1String(l.name), 0), 0) << l.name; // still in the catalogue
    }
    int mapped = 0;
    for (int c = 0; c < NV_CATEGORY_COUNT; ++c) {
        for (int r = 0; r <= NvCategoryItemCount(c); ++r) {
            SNvField f;
            const bool isMapped = SettingsRowField(c, r, f);
            if (r == NvCategoryItemCount(c)) {
                EXPECT_FALSE(isMapped); // past the last row
                break;
            }
            const QString name = NvItemName(c, r);
            EXPECT_NE(isMapped, leftOut.contains(QString::number(c) + u':' + name))
                << c << ": \"" << name.toStdString() << "\"";
            mapped += isMapped ? 1 : 0;
            if (isMapped && FindPrivateItem(c, name, 0) == nullptr) {
                EXPECT_LT(f.item, PRIVATE_ITEM_FIRST) << name.toStdString();
                EXPECT_TRUE(f.offset >= 1 || (c != 1 && c != 2)) << name.toStdString();
            }
        }
    }
    EXPECT_EQ(mapped + static_cast<int>(SettingsLeftOut().size()), NvTotalItemCount());
}

// Private items name real rows (a renamed or removed row leaves its item behind), own their
// numbers, and their factory values fit their rows and show as written.
TEST(SettingsMap, PrivateItemsNameRealRowsAndOwnTheirNumbers)
{
    QSet<quint16> numbers;
    for (const SPrivateItem& p : PrivateItems()) {
        const QString name = QLatin1String(p.row);
        EXPECT_GE(RowOf(p.category, name, p.occurrence), 0) << p.row << " #" << p.occurrence;
        EXPECT_GE(p.item, PRIVATE_ITEM_FIRST) << p.row;
        EXPECT_FALSE(numbers.contains(p.item)) << "item " << p.item << " given twice";
        numbers.insert(p.item);
        EXPECT_EQ(FindPrivateItem(p.category, name, p.occurrence), &p) << p.row;
        const QByteArray data = PrivateFactoryData(p);
        ASSERT_EQ(data.size(), 128) << p.row;
        EXPECT_FALSE(QByteArray(p.factory).isEmpty()) << p.row;
        EXPECT_EQ(FieldShow(PrivateField(p), data).value(0), QLatin1String(p.factory)) << p.row;
        // The row's factory data and text seed the settings codec's fuzz target.
        qpxtest::FuzzSeed("settings_codec", QByteArray(1, char(p.category)) +
                                                char(RowOf(p.category, name, p.occurrence)) +
                                                char(data.size()) + data + p.factory);
    }
    // The three "Emergency Numbers" rows are three items.
    const int first = RowOf(4, u"Emergency Numbers"_s, 0);
    SNvField a, b, c;
    ASSERT_TRUE(SettingsRowField(4, first, a) && SettingsRowField(4, first + 1, b) &&
                SettingsRowField(4, first + 2, c));
    EXPECT_TRUE(a.item != b.item && b.item != c.item);
}

QByteArray Le32(quint32 v)
{
    QByteArray b(4, '\0');
    PutLe32(reinterpret_cast<quint8*>(b.data()), v);
    return b;
}

qint32 I32(const QByteArray& a, int at)
{
    return a.size() < at + 4
               ? -1
               : static_cast<qint32>(GetLe32(reinterpret_cast<const quint8*>(a.constData()) + at));
}

} // namespace

// The simulated handset's file system answers every request, one after the other on one folder,
// with the error number (at its place in the answer) a real one gives.
TEST(SimulatedHandset, FileSystemAnswersWithTheErrorNumbers)
{
    CEfs2Server efs(qpxtest::MakeTempDir(u"efs"_s));
    ASSERT_TRUE(qpxtest::WriteFile(efs.Root() + u"/f"_s, "abc") &&
                qpxtest::WriteFile(efs.Root() + u"/d/x"_s, QByteArray(1500, 'x')) &&
                QDir().mkpath(efs.Root() + u"/e"_s));
    efs.SetByteWindow(8);
    const auto path = [](const char* p) { return QByteArray(p) + '\0'; };
    const auto open = [&](quint32 flags, const char* p) { return Le32(flags) + Le32(0777) + path(p); };
    const auto two = [&](const char* a, const char* b) { return path(a) + path(b); };
    const QByteArray mode = QByteArray("\xFF\x01", 2);
    bool badLength = false;
    const auto ask = [&](quint16 cmd, const QByteArray& body) {
        return efs.Handle(QByteArray("\x4B\x13", 2) + char(cmd) + '\0' + body, &badLength);
    };
    const struct
    {
        quint16 cmd;
        QByteArray body;
        int at; // where the error number stands in the answer
        qint32 err;
    } cases[] = {
        {EFS2_OPEN, open(0, "/../f"), 8, EFS_INVALID_PATH},
        {EFS2_OPEN, open(0, "/d"), 8, EFS_EISDIR},
        {EFS2_OPEN, open(0x41, "/no/x"), 8, EFS_ENOENT},
        {EFS2_OPEN, open(0, "/none"), 8, EFS_ENOENT},
        {EFS2_OPEN, open(0, "/f"), 8, EFS_OK}, // descriptor 1, read-only
        {EFS2_CLOSE, Le32(99), 4, EFS_EBADF},
        {EFS2_READ, Le32(99) + Le32(2) + Le32(0), 16, EFS_EBADF},
        {EFS2_READ, Le32(1) + Le32(9) + Le32(0), 16, EFS_EINVAL}, // over the byte window
        {EFS2_READ, Le32(1) + Le32(8) + Le32(1), 16, EFS_OK},
        {EFS2_WRITE, Le32(1) + Le32(0) + "ab", 16, EFS_EBADF}, // read-only
        {EFS2_WRITE, Le32(1) + Le32(0) + "abcdefghi", 16, EFS_EINVAL},
        {EFS2_FSTAT, Le32(99), 4, EFS_EBADF},
        {EFS2_FSTAT, Le32(1), 4, EFS_OK},
        {EFS2_UNLINK, path("f"), 4, EFS_INVALID_PATH}, // a relative path: MKDIR and RMDIR share the check
        {EFS2_UNLINK, path("/none"), 4, EFS_ENOENT},
        {EFS2_UNLINK, path("/d"), 4, EFS_EISDIR},
        {EFS2_MKDIR, mode + path("/d"), 4, EFS_EEXIST},
        {EFS2_MKDIR, mode + path("/no/d"), 4, EFS_ENOENT},
        {EFS2_RMDIR, path("/none"), 4, EFS_ENOENT},
        {EFS2_RMDIR, path("/f"), 4, EFS_ENOTDIR},
        {EFS2_RMDIR, path("/"), 4, EFS_EACCES},
        {EFS2_RMDIR, path("/d"), 4, EFS_ENOTEMPTY},
        {EFS2_RMDIR, path("/e"), 4, EFS_OK},
        {EFS2_MKDIR, mode + path("/n"), 4, EFS_OK},
        {EFS2_OPEN, open(0x241, "/n/w"), 8, EFS_OK}, // descriptor 2: created, write-only
        {EFS2_WRITE, Le32(2) + Le32(0) + "ab", 16, EFS_OK},
        {EFS2_CLOSE, Le32(2), 4, EFS_OK},
        {EFS2_OPEN, open(2, "/n/w"), 8, EFS_OK}, // descriptor 3: read and write, kept
        {EFS2_CLOSE, Le32(3), 4, EFS_OK},
        {EFS2_UNLINK, path("/n/w"), 4, EFS_OK},
        {EFS2_QUERY, {}, 4, 255},                   // the longest name
        {EFS2_HELLO, QByteArray(40, '\xFF'), 8, 8}, // the byte window: ours
        {EFS2_OPENDIR, path("d"), 8, EFS_INVALID_PATH},
        {EFS2_OPENDIR, path("/none"), 8, EFS_ENOENT},
        {EFS2_OPENDIR, path("/f"), 8, EFS_ENOTDIR},
        {EFS2_OPENDIR, path("/d"), 8, EFS_OK},
        {EFS2_READDIR, Le32(99) + Le32(1), 12, EFS_DIR_NOT_OPEN},
        {EFS2_READDIR, Le32(1) + Le32(1), 12, EFS_OK}, // "x"
        {EFS2_READDIR, Le32(1) + Le32(3), 12, EFS_BAD_SEQUENCE},
        {EFS2_READDIR, Le32(1) + Le32(2), 12, EFS_OK}, // the end
        {EFS2_CLOSEDIR, Le32(99), 4, EFS_DIR_NOT_OPEN},
        {EFS2_OPENDIR, path("/"), 8, EFS_OK}, // handle 2
        {EFS2_CLOSEDIR, Le32(2), 4, EFS_OK},
        {EFS2_RENAME, two("f", "/g"), 4, EFS_INVALID_PATH},
        {EFS2_RENAME, two("/none", "/g"), 4, EFS_ENOENT},
        {EFS2_RENAME, two("/f", "/no/g"), 4, EFS_ENOENT},
        {EFS2_RENAME, two("/", "/g"), 4, EFS_EACCES},
        {EFS2_RENAME, two("/f", "/d"), 4, EFS_EISDIR},
        {EFS2_RENAME, two("/f", "/d/x"), 4, EFS_OK},
        {EFS2_STAT, path("d"), 4, EFS_INVALID_PATH},
        {EFS2_STAT, path("/none"), 4, EFS_ENOENT},
        {EFS2_STAT, path("/d/x"), 4, EFS_OK},
        {EFS2_STATFS, path("d"), 4, EFS_INVALID_PATH},
        {EFS2_STATFS, path("/none"), 4, EFS_ENOENT},
        {EFS2_STATFS, path("/"), 4, EFS_OK},
    };
    for (const auto& c : cases) {
        badLength = true;
        EXPECT_EQ(I32(ask(c.cmd, c.body), c.at), c.err) << c.cmd << " " << c.body.toHex().constData();
        EXPECT_FALSE(badLength);
    }
    // A file replaced a file; the volume counts its one file of three blocks.
    EXPECT_EQ(qpxtest::ReadFile(efs.Root() + u"/d/x"_s), QByteArray("abc"));
    const QByteArray statfs = ask(EFS2_STATFS, path("/"));
    EXPECT_EQ(statfs.mid(12, 4), QByteArray("EFS2"));
    EXPECT_EQ((QList<qint32>{I32(statfs, 20), I32(statfs, 24) - I32(statfs, 28), I32(statfs, 40)}),
              (QList<qint32>{512, 1, 1}));
    // A handset that stores badly acknowledges a write but keeps its last byte altered.
    efs.SetBadStore(true);
    ask(EFS2_WRITE,
        Le32(static_cast<quint32>(I32(ask(EFS2_OPEN, open(0x41, "/n/bad")), 4))) + Le32(0) + "abc");
    EXPECT_EQ(qpxtest::ReadFile(efs.Root() + u"/n/bad"_s), QByteArray("ab\x9C"));
    // Past the open files and folders a handset allows: its "too many" codes.
    QByteArray last[2];
    for (int i = 0; i < CEfs2Server::MAX_OPEN_FILES; ++i)
        last[0] = ask(EFS2_OPEN, open(0, "/d/x"));
    for (int i = 0; i < CEfs2Server::MAX_OPEN_DIRS; ++i)
        last[1] = ask(EFS2_OPENDIR, path("/d"));
    EXPECT_EQ((QList<qint32>{I32(last[0], 8), I32(last[1], 8)}),
              (QList<qint32>{EFS_TOO_MANY_FILES, EFS_TOO_MANY_DIRS}));
    // A body too short for its command is refused as such.
    for (const quint16 cmd : {0, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14, 15, 17, 19})
        EXPECT_TRUE(ask(cmd, {}).isEmpty() && badLength) << cmd;
    EXPECT_TRUE(ask(6, {}).isEmpty()); // no such command
}
