// The main window's timed events: the supervision tick, the maximum alarm, the speed sample
// and the online sound. Each joins the timer list at creation; what a tick does grows with the
// components it reads (connection statistics, interface table, sound player).

#include "app/Unit1.h"
#include "widgets/TimerLst.h"

namespace pulo {

void TForm1::RxTimerEvent1Timer() {}

void TForm1::RxTimerEvent2Timer() {}

void TForm1::RxTimerEvent3Timer()
{
    // A sample that takes longer than its period must not pile up: the interval restarts
    // once the sample is done.
    RxTimerEvent3->SetEnabled(false);
    RxTimerEvent3->SetEnabled(true);
}

void TForm1::RxTimerEvent4Timer() {}

} // namespace pulo
