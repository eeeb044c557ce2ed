// Phonebook through the reference plug-in: CSV → handset file → CSV reads back identically with
// the host's reader; the handset's own texts that a CSV cannot carry are replaced and counted.
#include "RefFiles.h"
#include "RefHarness.h"
#include "pages/CsvReader.h"

#include <gtest/gtest.h>

namespace {

using namespace reftest;

class PhonebookE2e : public ::testing::Test
{
protected:
    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(PhonebookE2e, WrittenCsvReadsBackIdentically)
{
    const QString state = qpxtest::MakeTempDir(QStringLiteral("state"));
    ASSERT_TRUE(m_sim.Start(RefSimArgs(state)));
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("pb"));
    const QByteArray csv = "Anna Berg,2125550147,,7185550100,anna@example.org,,\n"
                           "Jürgen Groß,,3235550188,,,9175550199,j@example.org\n"
                           "Zed,1,2,3,4,5,6\n";
    ASSERT_TRUE(qpxtest::WriteFile(dir + QStringLiteral("/in.csv"), csv));
    CRefList unused;
    const SRefOutcome w = m_plugin.PhoneBook(m_sim.Port(), 0, dir + QStringLiteral("/in.csv"), &unused);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_TRUE(w.Status().contains(QStringLiteral("3 entries"))) << w.Status().toStdString();
    EXPECT_TRUE(QFileInfo::exists(state + QStringLiteral("/efs/pim/phonebook.qpb")));

    CRefList list;
    const SRefOutcome r = m_plugin.PhoneBook(m_sim.Port(), 1, dir + QStringLiteral("/out.csv"), &list);
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(dir + QStringLiteral("/out.csv")), csv);
    ASSERT_EQ(list.rows.size(), 3);
    EXPECT_EQ(list.rows[1], (QStringList{QStringLiteral("Jürgen Groß"),
                                         {},
                                         QStringLiteral("3235550188"),
                                         {},
                                         {},
                                         QStringLiteral("9175550199"),
                                         QStringLiteral("j@example.org")}));
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
