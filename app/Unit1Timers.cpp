// The main window's timed events: the supervision tick, the maximum alarm and the online
// sound (the speed sample is in Unit1Speed.cpp). Each joins the timer list at creation; what a tick does grows with the
// components it reads (connection statistics, interface table, sound player).

#include "app/Unit1.h"

namespace pulo {

void TForm1::RxTimerEvent1Timer()
{
    WatchTrayHost();
}

void TForm1::RxTimerEvent2Timer() {}

void TForm1::RxTimerEvent4Timer() {}

} // namespace pulo
