-- The peer side of bench_model: the terrain of 100,000 triangles that the runner's side draws
-- as a lit model, here one static mesh (no lighting) drawn each frame through a perspective
-- transformation with a depth buffer.
-- usage: love love3d [seconds]
--   prints: model triangles=<t> frames=<f> seconds=<s> fps=<fps>
local DURATION
local WARMUP = 0.5
local mesh, shader, mvp
local NX, NY = 250, 200

local function height(x, y)
  return 20 * math.sin(x / 20) * math.cos(y / 20)
end

local function terrain()
  local v = {}
  local function add(x, y)
    local c = 0.4 + 0.3 * math.sin(x / 50)
    v[#v + 1] = {x, y, height(x, y), c, 0.7, 0.3, 1}
  end
  for j = 0, NY - 1 do
    for i = 0, NX - 1 do
      local x0, y0, x1, y1 = i * 2, j * 2, i * 2 + 2, j * 2 + 2
      add(x0, y0); add(x1, y0); add(x1, y1)
      add(x0, y0); add(x1, y1); add(x0, y1)
    end
  end
  return v
end

-- Column vectors: the camera at (250, 650, 300) looking at (250, 200, 0) with z up, 60 degrees.
local function sub(a, b) return {a[1] - b[1], a[2] - b[2], a[3] - b[3]} end
local function cross(a, b)
  return {a[2] * b[3] - a[3] * b[2], a[3] * b[1] - a[1] * b[3], a[1] * b[2] - a[2] * b[1]}
end
local function norm(a)
  local l = math.sqrt(a[1] * a[1] + a[2] * a[2] + a[3] * a[3])
  return {a[1] / l, a[2] / l, a[3] / l}
end
local function dot(a, b) return a[1] * b[1] + a[2] * b[2] + a[3] * b[3] end

local function mul(a, b)
  local r = {}
  for i = 1, 4 do
    r[i] = {}
    for j = 1, 4 do
      local s = 0
      for k = 1, 4 do s = s + a[i][k] * b[k][j] end
      r[i][j] = s
    end
  end
  return r
end

local function camera()
  local eye, at, up = {250, 650, 300}, {250, 200, 0}, {0, 0, 1}
  local f = norm(sub(at, eye))
  local s = norm(cross(f, up))
  local u = cross(s, f)
  local view = {
    {s[1], s[2], s[3], -dot(s, eye)},
    {u[1], u[2], u[3], -dot(u, eye)},
    {-f[1], -f[2], -f[3], dot(f, eye)},
    {0, 0, 0, 1},
  }
  local n, far, t = 1, 2000, 1 / math.tan(math.rad(60) / 2)
  local proj = {
    {t / (640 / 480), 0, 0, 0},
    {0, t, 0, 0},
    {0, 0, (far + n) / (n - far), 2 * far * n / (n - far)},
    {0, 0, -1, 0},
  }
  return mul(proj, view)
end

function love.load(args)
  DURATION = tonumber(args[1]) or 5
  mesh = love.graphics.newMesh({{"VertexPosition", "float", 3}, {"VertexColor", "byte", 4}},
                               terrain(), "triangles", "static")
  shader = love.graphics.newShader([[
    uniform mat4 u_mvp;
    vec4 position(mat4 transform_projection, vec4 vertex_position) {
      return u_mvp * vertex_position;
    }
  ]])
  mvp = camera()
  shader:send("u_mvp", "row", mvp)
end

function love.run()
  love.load(love.arg.parseGameArguments(arg), arg)
  local getTime = love.timer.getTime
  local t_start = getTime()
  local t_meas, frames = nil, 0
  return function()
    love.event.pump()
    for name in love.event.poll() do
      if name == "quit" then return 0 end
    end
    love.graphics.clear(0.1, 0.1, 0.2, 1)
    love.graphics.setDepthMode("lequal", true)
    love.graphics.setShader(shader)
    love.graphics.draw(mesh)
    love.graphics.setShader()
    love.graphics.setDepthMode()
    love.graphics.present()
    local now = getTime()
    if t_meas == nil then
      if now - t_start >= WARMUP then t_meas = now end
    else
      frames = frames + 1
      if now - t_meas >= DURATION then
        print(string.format("model triangles=%d frames=%d seconds=%.3f fps=%.2f",
                            NX * NY * 2, frames, now - t_meas, frames / (now - t_meas)))
        return 0
      end
    end
  end
end
