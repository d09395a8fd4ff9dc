function love.conf(t)
  t.identity = "korvane_bench_model"
  t.window.title = "model"
  t.window.width = 640
  t.window.height = 480
  t.window.vsync = 0
  t.window.depth = 16
  t.window.resizable = false
  t.modules.audio = false
  t.modules.sound = false
  t.modules.joystick = false
  t.modules.physics = false
  t.modules.video = false
end
