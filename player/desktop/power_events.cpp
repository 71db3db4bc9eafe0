#include "desktop/power_events.h"

#include "playback/connection.h"
#include "playback/player_state.h"
#include "playback/sleep_timer.h"
#include "playback/station_link.h"
#include "playback/station_menu.h"
#include "player_ids.h"
#include "recording/recording.h"

namespace {

// How long after waking a failed connection is taken for a network not back yet.
const DWORD network_return_ms = 30000;

execution_state_call execution_state = SetThreadExecutionState;
bool asking_to_stay_awake;
bool reconnect_on_wake; // a station was playing when the system went to sleep

void ask_to_stay_awake(bool awake) {
    if (awake == asking_to_stay_awake)
        return;
    asking_to_stay_awake = awake;
    execution_state(awake ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

} // namespace

void set_execution_state_call(execution_state_call call) {
    execution_state = call ? call : SetThreadExecutionState;
}

void handle_power_event(WPARAM event) {
    switch (event) {
    case PBT_APMSUSPEND:
        // The network goes with the sleep: finish the file while it can still be written
        // whole (the system is asked to stay awake until it is), and let go of a connection
        // that will be dead on waking.
        reconnect_on_wake = reconnect_on_wake || station_running();
        stop_playback();
        keep_awake_while_recording();
        break;
    case PBT_APMRESUMEAUTOMATIC: // every wake; a wake by the user adds RESUMESUSPEND
    case PBT_APMRESUMESUSPEND:
        // A sleep timer whose time passed while the computer slept has had its way.
        if (reconnect_on_wake && !sleep_timer_due()) {
            retry_failed_connections_for(network_return_ms);
            // The station that played: a link outside the list, or the row chosen.
            if (!replay_station_link())
                choose_station(IDM_FIRST_STATION + current_station);
        }
        reconnect_on_wake = false;
        break;
    default:
        break;
    }
}

void keep_awake_while_recording() {
    ask_to_stay_awake(recordings_unfinished());
}

void end_power_events() {
    ask_to_stay_awake(false);
    reconnect_on_wake = false;
}
