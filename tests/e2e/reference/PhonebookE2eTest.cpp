// Phonebook through the reference plug-in: CSV → handset file → CSV reads back identically with
// the host's reader; the handset's own texts that a CSV cannot carry are replaced and counted.
#include "RefFiles.h"
#include "RefHarness.h"
#include "pages/CsvReader.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

using namespace reftest;

class PhonebookE2e : public ::testing::Test
{
protected:
    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

// A write leaves out lines of only blanks, cuts a field that is too wide on its last whole
// character (UTF-8, or two-byte characters of a code page such as CP949) and counts everything
// it cut or dropped; where the old phonebook was kept comes first.
TEST_F(PhonebookE2e, WriteSkipsBlankLinesCutsOnWholeCharactersAndCountsIt)
{
    const QString state = qpxtest::MakeTempDir(QStringLiteral("state"));
    ASSERT_TRUE(m_sim.Start(RefSimArgs(state)));
    const QByteArray umlauts16 = QByteArray("\xc3\xa4").repeated(16);
    const QByteArray hangul16 = QByteArray("\xb1\xe8").repeated(16); // CP949
    struct SName
    {
        QByteArray given;
        QByteArray stored;
    };
    const QList<SName> names = {
        {umlauts16, umlauts16},              // exactly the width
        {umlauts16 + "\xc3\xa4", umlauts16}, // one character more: 16 stay
        {QByteArray("\xea\xb9\x80").repeated(11), QByteArray("\xea\xb9\x80").repeated(10)},
        {hangul16 + "\xb1\xe8", hangul16},
        {"a" + hangul16, "a" + QByteArray("\xb1\xe8").repeated(15)}, // never half a character
        {QByteArray(40, 'n'), QByteArray(32, 'n')},
    };
    QByteArray csv = "   \n";
    for (int i = 0; i < names.size(); ++i)
        csv += names[i].given + ',' + QByteArray::number(i) + (i == 2 ? "\n , \t ,\n" : "\n");
    csv += "x,1,2,3," + QByteArray(70, 'm') + ",5,6,seventh,eighth\n";
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("pb"));
    qpxtest::FuzzSeed("csv", csv);
    ASSERT_TRUE(qpxtest::WriteFile(dir + QStringLiteral("/in.csv"), csv));

    CRefList unused;
    const SRefOutcome w = m_plugin.PhoneBook(m_sim.Port(), 0, dir + QStringLiteral("/in.csv"), &unused);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    const QString kept = QDir(m_plugin.Folder() + QStringLiteral("/PB_BK"))
                             .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                             .value(0);
    ASSERT_FALSE(kept.isEmpty());
    EXPECT_EQ(w.Status(), QStringLiteral("Previous contents kept beside the plug-in in PB_BK/") + kept +
                              QStringLiteral("; Phonebook written: 7 entries; 5 names cut to fit, 1 other "
                                             "field cut to fit, 2 fields after the seventh dropped, 2 blank "
                                             "lines skipped"));
    const QList<QByteArrayList> stored =
        PhonebookRecords(qpxtest::ReadFile(state + QStringLiteral("/efs/pim/phonebook.qpb")));
    ASSERT_EQ(stored.size(), 7);
    for (int i = 0; i < names.size(); ++i) {
        EXPECT_EQ(stored[i][0], names[i].stored) << i;
        EXPECT_EQ(stored[i][1], QByteArray::number(i)) << i;
    }
    EXPECT_EQ(stored[6], (QByteArrayList{"x", "1", "2", "3", QByteArray(64, 'm'), "5", "6"}));
}

// The result texts fit their fields whole (the log writes them as they are): a failed write
// says first where the old phonebook was kept; a long path is named by its end.
TEST_F(PhonebookE2e, ResultTextsLeadWithWhatWasKeptAndFitTheirFields)
{
    const QString state = qpxtest::MakeTempDir(QStringLiteral("state"));
    ASSERT_TRUE(qpxtest::WriteFile(state + QStringLiteral("/efs/pim/phonebook.qpb"),
                                   PhonebookFile({{QStringLiteral("Old"), QStringLiteral("1")}})));
    ASSERT_TRUE(m_sim.Start(RefSimArgs(state, {QStringLiteral("--bad-store"), QStringLiteral("0x4B")})));
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("pb"));
    const auto fits = [](const SRefOutcome& r) {
        EXPECT_EQ(r.Status(), QStringLiteral("Failed: ") + r.Message());
        EXPECT_LT(qstrlen(r.result.szStatus), sizeof r.result.szStatus - 1);
    };

    // A read into a CSV path of 300 bytes that cannot be written (a file stands in the way).
    ASSERT_TRUE(qpxtest::WriteFile(dir + QStringLiteral("/blocker"), "x"));
    const QString longPath = dir + QStringLiteral("/blocker/") + QString(150, QLatin1Char('d')) +
                             QLatin1Char('/') + QString(150, QLatin1Char('e')) + QStringLiteral("/out.csv");
    CRefList list;
    const SRefOutcome r = m_plugin.PhoneBook(m_sim.Port(), 1, longPath, &list);
    ASSERT_TRUE(r.bFinished);
    EXPECT_FALSE(r.Ok());
    fits(r);
    const QString fileName = QString::fromLocal8Bit(r.result.szFileName);
    EXPECT_TRUE(fileName.startsWith(QStringLiteral("...")) && fileName.endsWith(QStringLiteral("e/out.csv")))
        << fileName.toStdString();

    // A write whose copy on the handset does not read back as written.
    ASSERT_TRUE(qpxtest::WriteFile(dir + QStringLiteral("/in.csv"), "New,2\n"));
    const SRefOutcome w = m_plugin.PhoneBook(m_sim.Port(), 0, dir + QStringLiteral("/in.csv"), &list);
    ASSERT_TRUE(w.bFinished);
    EXPECT_FALSE(w.Ok());
    const QString kept = QDir(m_plugin.Folder() + QStringLiteral("/PB_BK"))
                             .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                             .value(0);
    ASSERT_FALSE(kept.isEmpty());
    EXPECT_EQ(w.Message(), QStringLiteral("The handset's previous contents are kept beside the plug-in in "
                                          "PB_BK/%1. The phonebook read back from the handset differs from "
                                          "what was written.")
                               .arg(kept));
    fits(w);
}

TEST_F(PhonebookE2e, TextsACsvCannotCarryAreReplacedAndCounted)
{
    const QString state = qpxtest::MakeTempDir(QStringLiteral("state"));
    qpxtest::WriteFile(state + QStringLiteral("/efs/pim/phonebook.qpb"),
                       PhonebookFile({{QStringLiteral("Smith, John"), QStringLiteral("555")},
                                      {QStringLiteral("Two\nLines"), {}, QStringLiteral("  777  ")},
                                      {QStringLiteral("Plain")}}));
    ASSERT_TRUE(m_sim.Start(RefSimArgs(state)));
    const QString out = qpxtest::MakeTempDir(QStringLiteral("pb")) + QStringLiteral("/out.csv");
    CRefList list;
    const SRefOutcome r = m_plugin.PhoneBook(m_sim.Port(), 1, out, &list);
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_TRUE(r.Status().contains(QStringLiteral("3 fields"))) << r.Status().toStdString();
    QList<QStringList> rows;
    ASSERT_TRUE(ReadCsvRows(out, rows));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].value(0), QStringLiteral("Smith; John"));
    EXPECT_EQ(rows[1].value(0), QStringLiteral("Two Lines"));
    EXPECT_EQ(rows[1].value(2), QStringLiteral("777"));
    EXPECT_EQ(list.rows[0][0], QStringLiteral("Smith; John"));
}

TEST_F(PhonebookE2e, AnEmptyHandsetGivesAnEmptyFileAndAMissingCsvFails)
{
    ASSERT_TRUE(m_sim.Start(RefSimArgs(qpxtest::MakeTempDir(QStringLiteral("state")))));
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("pb"));
    CRefList list;
    list.InsertRow(-1, QStringLiteral("stale"));
    const SRefOutcome r = m_plugin.PhoneBook(m_sim.Port(), 1, dir + QStringLiteral("/out.csv"), &list);
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_TRUE(QFileInfo::exists(dir + QStringLiteral("/out.csv")));
    EXPECT_TRUE(list.rows.isEmpty());

    const SRefOutcome w = m_plugin.PhoneBook(m_sim.Port(), 0, dir + QStringLiteral("/missing.csv"), &list);
    ASSERT_TRUE(w.bFinished);
    EXPECT_FALSE(w.Ok());
    EXPECT_TRUE(w.Message().contains(QStringLiteral("cannot be read"))) << w.Message().toStdString();
}

} // namespace
