-- (i) priority queue: 10,000 adds with distinct priorities, then 10,000 removals of the minimum,
-- folded in the order they come out. Lua has no priority queue: a binary heap of pairs.
local hv, hp, n = {}, {}, 0
local function push(v, p)
  n = n + 1
  local i = n
  while i > 1 do
    local parent = i // 2
    if hp[parent] <= p then break end
    hv[i], hp[i] = hv[parent], hp[parent]
    i = parent
  end
  hv[i], hp[i] = v, p
end
local function pop()
  local top = hv[1]
  local v, p = hv[n], hp[n]
  hv[n], hp[n] = nil, nil
  n = n - 1
  local i = 1
  while true do
    local c = 2 * i
    if c > n then break end
    if c < n and hp[c + 1] < hp[c] then c = c + 1 end
    if hp[c] >= p then break end
    hv[i], hp[i] = hv[c], hp[c]
    i = c
  end
  if n > 0 then hv[i], hp[i] = v, p end
  return top
end
for i = 0, 9999 do push(i, (i * 7919) % 10007) end
local s = 0
for k = 1, 10000 do s = (s * 31 + pop()) % 1000003 end
print(string.format("i_priority %.0f", s))
