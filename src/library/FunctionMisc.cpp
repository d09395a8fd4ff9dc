// Script functions for code and events, variables, external calls, the clipboard, dates and the
// debug output. Rows without a body are registered so that games compile; calling one reports
// that the function is not available yet.
#include <cstdio>

#include "code/Runtime.h"
#include "code/Vocabulary.h"
#include "library/FunctionMath.h"

namespace kr {

// Writes the value (a real as string() writes it) and a newline to standard output at once, so
// the lines interleave correctly with anything else the process prints.
static void fn_show_debug_message(Runtime& rt, ScriptInstance* self, ScriptInstance* other,
                                  int argc, const RValue* args, RValue& result) {
    std::string text = args[0].IsString() ? args[0].StdStr() : RealToString(args[0].real);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// ORDER VOCABULARY: the rows keep the registration order of the family.
static const BuiltinDef kMiscFunctions[] = {
    {"event_inherited", nullptr, 0},
    {"event_perform", nullptr, 2},
    {"event_user", nullptr, 1},
    {"event_perform_object", nullptr, 3},
    {"external_define", nullptr, -1},
    {"external_call", nullptr, -1},
    {"external_free", nullptr, 1},
    {"external_define0", nullptr, 3},
    {"external_call0", nullptr, 1},
    {"external_define1", nullptr, 4},
    {"external_call1", nullptr, 2},
    {"external_define2", nullptr, 5},
    {"external_call2", nullptr, 3},
    {"external_define3", nullptr, 6},
    {"external_call3", nullptr, 4},
    {"external_define4", nullptr, 7},
    {"external_call4", nullptr, 5},
    {"external_define5", nullptr, 3},
    {"external_call5", nullptr, 6},
    {"external_define6", nullptr, 3},
    {"external_call6", nullptr, 7},
    {"external_define7", nullptr, 3},
    {"external_call7", nullptr, 8},
    {"external_define8", nullptr, 3},
    {"external_call8", nullptr, 9},
    {"execute_string", nullptr, -1},
    {"execute_file", nullptr, -1},
    {"window_handle", nullptr, 0},
    {"show_debug_message", fn_show_debug_message, 1},
    {"set_program_priority", nullptr, 1},
    {"set_application_title", nullptr, 1},
    {"variable_global_exists", nullptr, 1},
    {"variable_global_get", nullptr, 1},
    {"variable_global_array_get", nullptr, 2},
    {"variable_global_array2_get", nullptr, 3},
    {"variable_global_set", nullptr, 2},
    {"variable_global_array_set", nullptr, 3},
    {"variable_global_array2_set", nullptr, 4},
    {"variable_local_exists", nullptr, 1},
    {"variable_local_get", nullptr, 1},
    {"variable_local_array_get", nullptr, 2},
    {"variable_local_array2_get", nullptr, 3},
    {"variable_local_set", nullptr, 2},
    {"variable_local_array_set", nullptr, 3},
    {"variable_local_array2_set", nullptr, 4},
    {"clipboard_has_text", nullptr, 0},
    {"clipboard_set_text", nullptr, 1},
    {"clipboard_get_text", nullptr, 0},
    {"date_current_datetime", nullptr, 0},
    {"date_current_date", nullptr, 0},
    {"date_current_time", nullptr, 0},
    {"date_create_datetime", nullptr, 6},
    {"date_create_date", nullptr, 3},
    {"date_create_time", nullptr, 3},
    {"date_valid_datetime", nullptr, 6},
    {"date_valid_date", nullptr, 3},
    {"date_valid_time", nullptr, 3},
    {"date_inc_year", nullptr, 2},
    {"date_inc_month", nullptr, 2},
    {"date_inc_week", nullptr, 2},
    {"date_inc_day", nullptr, 2},
    {"date_inc_hour", nullptr, 2},
    {"date_inc_minute", nullptr, 2},
    {"date_inc_second", nullptr, 2},
    {"date_get_year", nullptr, 1},
    {"date_get_month", nullptr, 1},
    {"date_get_week", nullptr, 1},
    {"date_get_day", nullptr, 1},
    {"date_get_hour", nullptr, 1},
    {"date_get_minute", nullptr, 1},
    {"date_get_second", nullptr, 1},
    {"date_get_weekday", nullptr, 1},
    {"date_get_day_of_year", nullptr, 1},
    {"date_get_hour_of_year", nullptr, 1},
    {"date_get_minute_of_year", nullptr, 1},
    {"date_get_second_of_year", nullptr, 1},
    {"date_year_span", nullptr, 2},
    {"date_month_span", nullptr, 2},
    {"date_week_span", nullptr, 2},
    {"date_day_span", nullptr, 2},
    {"date_hour_span", nullptr, 2},
    {"date_minute_span", nullptr, 2},
    {"date_second_span", nullptr, 2},
    {"date_compare_datetime", nullptr, 2},
    {"date_compare_date", nullptr, 2},
    {"date_compare_time", nullptr, 2},
    {"date_date_of", nullptr, 1},
    {"date_time_of", nullptr, 1},
    {"date_datetime_string", nullptr, 1},
    {"date_date_string", nullptr, 1},
    {"date_time_string", nullptr, 1},
    {"date_days_in_month", nullptr, 1},
    {"date_days_in_year", nullptr, 1},
    {"date_leap_year", nullptr, 1},
    {"date_is_today", nullptr, 1},
};

void RegisterMiscFunctions(BuiltinRegistry& reg) {
    reg.Add(kMiscFunctions);
}

}  // namespace kr
