#pragma once
// The time the plates run on. Normally each plate follows the wall clock, sped up by its time
// scale for demos and timed tries. Tests take the clock in hand instead: plate time then moves only
// when they advance it, and every plate delivers at once what became due, so a 20-second test
// needs no waiting and its course does not depend on the speed of the machine.
namespace tarn::plateclock {

// Manual time starts at 0 when switched on; acquisitions already running follow the new clock.
void setManual(bool on);
bool manual();
double manualMs();
// Moves manual plate time on by ms and lets every plate deliver what became due (zeros, samples,
// the end of a phase), in plate order. Does nothing on the real clock.
void advance(double ms);

}  // namespace tarn::plateclock
