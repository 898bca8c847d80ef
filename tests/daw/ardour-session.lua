-- ardour-session.lua: the session half of ardour-render.sh, run by ardour7-lua (Ardour 7's headless Lua
-- interpreter). One stage per process, chosen by DAW_STAGE; the settings come from DAW_* environment variables that
-- ardour-render.sh sets.
--
--   create  start the "None (Dummy)" engine, create a session with one stereo audio track "Render" wired to the
--           master bus, save, close;
--   insert  put the test audio on the track by editing the saved session file, load the session, insert the plug-in
--           pre-fader, list its parameters, set the requested ones, save, close.
--
-- Why one process per stage, and other ways around Ardour 7.3 in luasession:
--   * closing a session and loading another in one process crashed or hung;
--   * Lua has no import function here, and writing the tempo map through the Lua API made close_session hang: the
--     audio, the session range, the tempo and the meter go into the session file instead;
--   * a new track is wired by a background thread, and a session saved before it ran plays into nothing: the track
--     is wired explicitly, and the wiring is checked until it holds;
--   * the plug-in lists are filled when the engine starts; asking for them earlier crashes.

io.stdout:setvbuf("no")

local function setting(name, default)
  local value = os.getenv(name)
  if value == nil or value == "" then
    if default == nil then error("ardour-session: " .. name .. " is not set", 0) end
    return default
  end
  return value
end

local function fail(message)
  print("DAW-ERROR: " .. message)
  if Session ~= nil then pcall(close_session) end
  error(message, 0)
end

local function start_engine()
  local rate, block = tonumber(setting("DAW_RATE")), tonumber(setting("DAW_BLOCK"))
  ARDOUR.config():set_hide_dummy_backend(false) -- release builds hide the Dummy backend
  local backend = AudioEngine:set_backend("None (Dummy)", "", "")
  if backend == nil or backend:isnil() then fail("Ardour offers no 'None (Dummy)' backend") end
  backend:set_device_name("Silence")
  backend:set_sample_rate(rate)
  backend:set_buffer_size(block)
  if AudioEngine:start(false) ~= 0 then fail("the audio engine did not start") end
  print(string.format("engine: %s, %d Hz, %d frames per cycle", AudioEngine:current_backend_name(),
    backend:sample_rate(), backend:buffer_size()))
  return rate
end

local function read_text(path)
  local file = io.open(path, "rb")
  if not file then fail("cannot read " .. path) end
  local text = file:read("a")
  file:close()
  return text
end

local function write_text(path, text)
  local file = io.open(path, "wb")
  if not file then fail("cannot write " .. path) end
  file:write(text)
  file:close()
end

-- Track outputs 1 and 2 to the master bus inputs 1 and 2, track inputs unconnected (the track plays from disk).
local function wire(track, wait_for_auto_connect)
  local master = Session:master_out()
  if master:isnil() then fail("the session has no master bus") end
  local inputs = { track:input():audio(0), track:input():audio(1) }
  local outputs = { track:output():audio(0), track:output():audio(1) }
  local targets = { master:input():audio(0):name(), master:input():audio(1):name() }
  local function as_wanted()
    return outputs[1]:connected_to(targets[1]) and outputs[2]:connected_to(targets[2])
      and not inputs[1]:connected() and not inputs[2]:connected()
  end
  if wait_for_auto_connect then -- let the background thread finish first, or it rewires behind our back
    local deadline = ARDOUR.LuaAPI.monotonic_time() + 3e6
    while ARDOUR.LuaAPI.monotonic_time() < deadline and not (inputs[1]:connected() and inputs[2]:connected()
        and outputs[1]:connected() and outputs[2]:connected()) do
      ARDOUR.LuaAPI.usleep(20000)
    end
  end
  local steady = 0
  for _ = 1, 50 do
    if as_wanted() then
      steady = steady + 1
      if steady == 3 then break end
    else
      steady = 0
      track:input():disconnect_all(nil)
      for c = 1, 2 do
        if not outputs[c]:connected_to(targets[c]) then
          outputs[c]:disconnect_all()
          if outputs[c]:connect(targets[c]) ~= 0 then fail("cannot connect " .. outputs[c]:name()) end
        end
      end
    end
    ARDOUR.LuaAPI.usleep(20000)
  end
  if not as_wanted() then fail("the track's outputs do not stay on the master bus") end
end

local function stage_create()
  local rate = start_engine()
  local folder, name = setting("DAW_SESSION_DIR"), setting("DAW_SESSION_NAME")
  if not create_session(folder, name, rate) then fail("cannot create a session in " .. folder) end
  local tracks = Session:new_audio_track(2, 2, nil, 1, "Render", -1, ARDOUR.TrackMode.Normal, true)
  if tracks:size() ~= 1 then fail("cannot create the audio track") end
  wire(tracks:front(), true)
  Session:save_state("", false, false, false, false, false)
  close_session()
  print("DAW-CREATE-OK")
end

-- The two mono files (interchange/<name>/audiofiles/render-in-L.wav and -R.wav) as one stereo region at the start
-- of the track; the session range covers it exactly; tempo and meter at the start; region fades off, so that the
-- track plays the file sample for sample.
local function add_audio_to_session_file(path, frames, rate)
  local text = read_text(path)
  local numerator, denominator = setting("DAW_TIMESIG"):match("^(%d+)/(%d+)$")
  if not numerator then fail("DAW_TIMESIG must read like 4/4") end
  local tempo = setting("DAW_TEMPO")
  local next_id = tonumber(text:match('id%-counter="(%d+)"')) or fail("the session file has no id-counter")
  local left, right, whole_region, track_region, range = next_id + 1, next_id + 2, next_id + 3, next_id + 4, next_id + 5
  local ticks = Temporal.superclock_ticks_per_second()
  if (frames * ticks) % rate ~= 0 then fail("the sample rate does not divide Ardour's clock") end
  local length = string.format("a%d", frames * ticks // rate)

  local function region(id, region_name, whole_file)
    return string.format('<Region name="%s" muted="0" opaque="1" locked="0" video-locked="0" automatic="%d" '
      .. 'whole-file="%d" import="1" external="0" sync-marked="0" left-of-split="0" right-of-split="0" hidden="0" '
      .. 'position-locked="0" valid-transients="0" start="a0" length="%s@a0" sync-position="a0" ancestral-start="a0" '
      .. 'ancestral-length="a0@a0" stretch="1" shift="1" layering-index="0" tags="" contents="0" '
      .. 'envelope-active="0" default-fade-in="0" default-fade-out="0" fade-in-active="0" fade-out-active="0" '
      .. 'scale-amplitude="1" id="%d" type="audio" first-edit="nothing" source-0="%d" source-1="%d" '
      .. 'master-source-0="%d" master-source-1="%d" channels="2"/>',
      region_name, whole_file, whole_file, length, id, left, right, left, right)
  end
  local function replace(pattern, replacement, what)
    local count
    text, count = text:gsub(pattern, replacement, 1)
    if count ~= 1 then fail("cannot edit the session file: " .. what) end
  end
  local source = '    <Source name="%s" type="audio" flags="" id="%d" captured-for="" channel="0" origin="" gain="1"/>\n'
  replace('<Sources/>', '<Sources>\n' .. string.format(source, "render-in-L.wav", left)
    .. string.format(source, "render-in-R.wav", right) .. '  </Sources>', "sources")
  replace('<Regions/>', '<Regions>\n    ' .. region(whole_region, "render-in", 1) .. '\n  </Regions>', "regions")
  replace('(<Playlist [^>]-)/>', '%1>\n      ' .. region(track_region, "render-in.1", 0) .. '\n    </Playlist>',
    "playlist")
  replace('<Locations/>', string.format('<Locations>\n    <Location id="%d" name="session" start="a0" end="%s" '
    .. 'flags="IsSessionRange" locked="0" timestamp="0" cue="0"/>\n  </Locations>', range, length), "session range")
  replace('id%-counter="%d+"', string.format('id-counter="%d"', next_id + 10), "id counter")
  replace('<Option name="use%-region%-fades" value="1"/>', '<Option name="use-region-fades" value="0"/>',
    "region fades")
  replace('<Tempo npm="[%d.]+" enpm="[%d.]+" ', string.format('<Tempo npm="%s" enpm="%s" ', tempo, tempo), "tempo")
  replace('<Meter note%-value="%d+" divisions%-per%-bar="[%d.]+"',
    string.format('<Meter note-value="%s" divisions-per-bar="%s"', denominator, numerator), "meter")
  write_text(path, text)
  print(string.format("session: %d frames of audio on track Render, tempo %s, meter %s/%s", frames, tempo,
    numerator, denominator))
end

local function plugin_type()
  local kind = setting("DAW_PLUGIN_KIND")
  if kind == "vst" then return ARDOUR.PluginType.LXVST end
  if kind == "lv2" then return ARDOUR.PluginType.LV2 end
  fail("DAW_PLUGIN_KIND must be vst or lv2, not " .. kind)
end

local function stage_insert()
  local folder, name = setting("DAW_SESSION_DIR"), setting("DAW_SESSION_NAME")
  local rate = tonumber(setting("DAW_RATE"))
  add_audio_to_session_file(folder .. "/" .. name .. ".ardour", tonumber(setting("DAW_FRAMES")), rate)

  start_engine()
  if not load_session(folder, name) then fail("cannot load the session") end
  local route = Session:route_by_name("Render")
  if route:isnil() then fail("the session has no track Render") end
  local track = route:to_track()
  if track:playlist():n_regions() ~= 1 then fail("the audio is not on the track") end
  track:panner_shell():set_bypassed(true) -- channel 1 to master 1, channel 2 to master 2, at unity

  local id, kind = setting("DAW_PLUGIN_ID"), plugin_type()
  local info = ARDOUR.LuaAPI.new_plugin_info(id, kind)
  if info:isnil() then fail("Ardour lists no plug-in " .. id .. " (search path, scanner cache)") end
  print(string.format("plug-in: '%s' by '%s', category '%s', id %s, audio %d in / %d out", info.name, info.creator,
    info.category, info.unique_id, info.n_inputs:n_audio(), info.n_outputs:n_audio()))
  local processor = ARDOUR.LuaAPI.new_plugin(Session, id, kind, "")
  if processor:isnil() then fail("cannot create the plug-in") end
  if track:add_processor_by_index(processor, 0, nil, true) ~= 0 then fail("cannot add the plug-in to the track") end
  local plugin = processor:to_insert():plugin(0)
  print(string.format("inserted: '%s' by '%s', %d parameter(s), track I/O in %d -> out %d audio", plugin:name(),
    plugin:maker(), plugin:parameter_count(), processor:input_streams():n_audio(),
    processor:output_streams():n_audio()))
  for n = 0, plugin:parameter_count() - 1 do
    local control = plugin:nth_parameter(n, true)
    if plugin:parameter_is_control(control) and plugin:parameter_is_input(control) then
      local _, values = plugin:get_parameter_descriptor(control, ARDOUR.ParameterDescriptor())
      local descriptor = values[2]
      print(string.format("  %d: %s = %.6g [%g .. %g]", control, descriptor.label,
        ARDOUR.LuaAPI.get_processor_param(processor, control), descriptor.lower, descriptor.upper))
    end
  end
  for index, value in setting("DAW_PARAMS", ""):gmatch("(%d+)=([-+%d.eE]+)") do
    if not ARDOUR.LuaAPI.set_processor_param(processor, tonumber(index), tonumber(value)) then
      fail("cannot set parameter " .. index)
    end
    print(string.format("set: %s = %s (reads back %.6g)", index, value,
      ARDOUR.LuaAPI.get_processor_param(processor, tonumber(index))))
  end

  wire(track, false)
  Session:save_state("", false, false, false, false, false)
  close_session()
  print("DAW-INSERT-OK")
end

local stage = setting("DAW_STAGE")
if stage == "create" then stage_create()
elseif stage == "insert" then stage_insert()
else fail("unknown DAW_STAGE " .. stage) end
