// The entry of the Usage window's module (see UsageWindow.h).

#include "usage/window/frmUsage.h"

extern "C" Q_DECL_EXPORT pulo::TUsageWindow* PuloMakeUsageWindow(const pulo::TUsageHost& host)
{
    return new pulo::TfrmUsage(host);
}
