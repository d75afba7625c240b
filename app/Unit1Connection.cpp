// The start and the end of an online period, as the connection detector reports them. The
// detector has already updated its Connected and IP when these run.

#include "app/Unit1.h"

namespace pulo {

void TForm1::KZInternetDetect1Connect(QObject* /*sender*/) {}

void TForm1::KZInternetDetect1Disconnect(QObject* /*sender*/) {}

} // namespace pulo
