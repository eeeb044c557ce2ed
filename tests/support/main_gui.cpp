#include "TestEnv.h"

#include <QApplication>
#include <gmock/gmock.h>

#include <cstdio>

int main(int argc, char** argv)
{
    qpxtest::SetUpProcessEnvironment();
    QApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    // A report of a started program fails the run like one of this process.
    const QString reports = qpxtest::ChildSanitizerReports();
    if (!reports.isEmpty()) {
        std::fprintf(stderr, "Sanitizer reports of started programs:\n%s", qPrintable(reports));
        return 1;
    }
    return rc;
}
