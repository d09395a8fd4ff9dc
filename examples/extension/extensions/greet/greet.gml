#define greet_twice
return argument0 + ' ' + argument0
#define greet_init
show_debug_message('package ready')
#define greet_done
show_debug_message('package done')
