-- (g) list: 10,000 appends, then 10 x 10,000 reads by position.
local l = {}
for i = 0, 9999 do l[#l + 1] = (i * 7) % 1000 end
local s = 0
for r = 1, 10 do
  for i = 0, 9999 do s = s + l[i + 1] end
end
print(string.format("g_list %.0f", s))
