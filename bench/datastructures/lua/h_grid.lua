-- (h) grid: 100 x 100 cells set one by one, then 10 x 10,000 reads.
local g = {}
for x = 0, 99 do
  local col = {}
  g[x] = col
  for y = 0, 99 do col[y] = (x * y) % 97 end
end
local s = 0
for r = 1, 10 do
  for x = 0, 99 do
    local col = g[x]
    for y = 0, 99 do s = s + col[y] end
  end
end
print(string.format("h_grid %.0f", s))
