#include "app/AppSettings.h"

int main()
{
    theSettings.Load();
    return 0;
}
