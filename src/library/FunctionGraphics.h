// The graphics family's bodies, spread over FunctionGraphicsDraw.cpp (colours, shapes,
// primitives, sprites, backgrounds, surfaces, textures) and FunctionGraphicsWindow.cpp (display,
// window, screen, views and tiles); the table is in FunctionGraphics.cpp.
#pragma once

#include "code/BuiltinRegistry.h"
#include "code/Runtime.h"

namespace kr {

#define KR_GRAPHICS_FN(name)                                                           \
    void fn_##name(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc, \
                   const RValue* args, RValue& result)

// Every body of the family, declared once.
// clang-format off
#define KR_GRAPHICS_DRAW_FUNCTIONS(X) \
    X(draw_set_color) \
    X(draw_set_alpha) \
    X(draw_get_color) \
    X(draw_get_alpha) \
    X(make_color) \
    X(make_color_rgb) \
    X(make_color_hsv) \
    X(color_get_red) \
    X(color_get_green) \
    X(color_get_blue) \
    X(color_get_hue) \
    X(color_get_saturation) \
    X(color_get_value) \
    X(merge_color) \
    X(draw_set_blend_mode) \
    X(draw_set_blend_mode_ext) \
    X(draw_clear) \
    X(draw_clear_alpha) \
    X(draw_point) \
    X(draw_line) \
    X(draw_line_width) \
    X(draw_rectangle) \
    X(draw_roundrect) \
    X(draw_triangle) \
    X(draw_circle) \
    X(draw_ellipse) \
    X(draw_arrow) \
    X(draw_button) \
    X(draw_healthbar) \
    X(draw_path) \
    X(draw_point_color) \
    X(draw_line_color) \
    X(draw_line_width_color) \
    X(draw_rectangle_color) \
    X(draw_roundrect_color) \
    X(draw_triangle_color) \
    X(draw_circle_color) \
    X(draw_ellipse_color) \
    X(draw_set_circle_precision) \
    X(draw_primitive_begin) \
    X(draw_primitive_begin_texture) \
    X(draw_primitive_end) \
    X(draw_vertex) \
    X(draw_vertex_color) \
    X(draw_vertex_texture) \
    X(draw_vertex_texture_color) \
    X(sprite_get_texture) \
    X(background_get_texture) \
    X(texture_exists) \
    X(texture_set_interpolation) \
    X(texture_set_blending) \
    X(texture_set_repeat) \
    X(texture_get_width) \
    X(texture_get_height) \
    X(draw_sprite) \
    X(draw_sprite_ext) \
    X(draw_sprite_stretched) \
    X(draw_sprite_stretched_ext) \
    X(draw_sprite_part) \
    X(draw_sprite_part_ext) \
    X(draw_sprite_general) \
    X(draw_sprite_tiled) \
    X(draw_sprite_tiled_ext) \
    X(draw_background) \
    X(draw_background_ext) \
    X(draw_background_stretched) \
    X(draw_background_stretched_ext) \
    X(draw_background_part) \
    X(draw_background_part_ext) \
    X(draw_background_general) \
    X(draw_background_tiled) \
    X(draw_background_tiled_ext) \
    X(surface_create) \
    X(surface_free) \
    X(surface_exists) \
    X(surface_get_width) \
    X(surface_get_height) \
    X(surface_get_texture) \
    X(surface_set_target) \
    X(surface_reset_target) \
    X(draw_surface) \
    X(draw_surface_ext) \
    X(draw_surface_stretched) \
    X(draw_surface_stretched_ext) \
    X(draw_surface_part) \
    X(draw_surface_part_ext) \
    X(draw_surface_general) \
    X(draw_surface_tiled) \
    X(draw_surface_tiled_ext) \
    X(surface_save) \
    X(surface_save_part) \
    X(surface_getpixel) \
    X(surface_copy) \
    X(surface_copy_part) \
    X(draw_getpixel) \
    X(screen_save) \
    X(screen_save_part)
// clang-format on

// clang-format off
#define KR_GRAPHICS_WINDOW_FUNCTIONS(X) \
    X(display_get_width) \
    X(display_get_height) \
    X(display_get_colordepth) \
    X(display_get_frequency) \
    X(display_set_size) \
    X(display_set_colordepth) \
    X(display_set_frequency) \
    X(display_set_all) \
    X(display_test_all) \
    X(display_reset) \
    X(display_mouse_get_x) \
    X(display_mouse_get_y) \
    X(display_mouse_set) \
    X(window_set_visible) \
    X(window_get_visible) \
    X(window_set_fullscreen) \
    X(window_get_fullscreen) \
    X(window_set_showborder) \
    X(window_get_showborder) \
    X(window_set_showicons) \
    X(window_get_showicons) \
    X(window_set_stayontop) \
    X(window_get_stayontop) \
    X(window_set_sizeable) \
    X(window_get_sizeable) \
    X(window_set_caption) \
    X(window_get_caption) \
    X(window_set_cursor) \
    X(window_get_cursor) \
    X(window_set_color) \
    X(window_get_color) \
    X(window_set_position) \
    X(window_set_size) \
    X(window_set_rectangle) \
    X(window_center) \
    X(window_default) \
    X(window_get_x) \
    X(window_get_y) \
    X(window_get_width) \
    X(window_get_height) \
    X(window_set_region_size) \
    X(window_get_region_width) \
    X(window_get_region_height) \
    X(window_set_region_scale) \
    X(window_get_region_scale) \
    X(window_mouse_get_x) \
    X(window_mouse_get_y) \
    X(window_mouse_set) \
    X(window_view_mouse_get_x) \
    X(window_view_mouse_get_y) \
    X(window_view_mouse_set) \
    X(window_views_mouse_get_x) \
    X(window_views_mouse_get_y) \
    X(window_views_mouse_set) \
    X(set_synchronization) \
    X(set_automatic_draw) \
    X(screen_redraw) \
    X(screen_refresh) \
    X(screen_wait_vsync) \
    X(tile_get_x) \
    X(tile_get_y) \
    X(tile_get_left) \
    X(tile_get_top) \
    X(tile_get_width) \
    X(tile_get_height) \
    X(tile_get_depth) \
    X(tile_get_visible) \
    X(tile_get_xscale) \
    X(tile_get_yscale) \
    X(tile_get_blend) \
    X(tile_get_alpha) \
    X(tile_get_background) \
    X(tile_set_visible) \
    X(tile_set_background) \
    X(tile_set_region) \
    X(tile_set_position) \
    X(tile_set_depth) \
    X(tile_set_scale) \
    X(tile_set_blend) \
    X(tile_set_alpha) \
    X(tile_add) \
    X(tile_find) \
    X(tile_exists) \
    X(tile_delete) \
    X(tile_delete_at) \
    X(tile_layer_hide) \
    X(tile_layer_show) \
    X(tile_layer_delete) \
    X(tile_layer_shift) \
    X(tile_layer_find) \
    X(tile_layer_delete_at) \
    X(tile_layer_depth)
// clang-format on

#define KR_GRAPHICS_DECLARE(name) KR_GRAPHICS_FN(name);
KR_GRAPHICS_DRAW_FUNCTIONS(KR_GRAPHICS_DECLARE)
KR_GRAPHICS_WINDOW_FUNCTIONS(KR_GRAPHICS_DECLARE)

}  // namespace kr
