#include "TestEnv.h"

#include <QCoreApplication>
#include <gmock/gmock.h>

int main(int argc, char** argv)
{
    qpxtest::SetUpProcessEnvironment();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return qpxtest::WithChildSanitizerReports(RUN_ALL_TESTS());
}
