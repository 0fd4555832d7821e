#pragma once

#include <functional>

class QWidget;

/**
 * Start-up timing. With KESTROVE_REPORT_FIRST_FRAME set, Kestrove writes "first-frame NS" to
 * standard output once the main window has painted its first frame and "store-loaded NS" once
 * every package of the store is in memory, NS being CLOCK_MONOTONIC nanoseconds (the start-up
 * benchmark reads them). Without the variable nothing is written.
 */
namespace StartupReport
{
/** Calls then once window has painted and flushed its next frame. */
void afterNextFrame(QWidget *window, std::function<void()> then);
/** Reports the first frame of the main window (once per process). */
void firstFrame();
/** Reports that the store is read whole (once per process). */
void storeLoaded();
}
