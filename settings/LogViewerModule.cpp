// The entry of the log viewer's module (see LogViewer.h).

#include "settings/frmLog.h"

extern "C" Q_DECL_EXPORT pulo::TLogViewer* PuloMakeLogViewer()
{
    return new pulo::TfrmLog;
}
