#include "TestEnv.h"

#include <QApplication>
#include <gmock/gmock.h>

int main(int argc, char** argv)
{
    qpxtest::SetUpProcessEnvironment();
    QApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return qpxtest::WithChildSanitizerReports(RUN_ALL_TESTS());
}
