# check-call-log.awk: checks the call log that tests/daw/CallLoggingShim.cpp writes while Ardour scans, loads and
# exports a session with the plug-in (line format at the top of that file). Prints what Ardour did and one
# "problem: ..." line per fault; exits 1 when there is one.
#
# Checked for every instance of every process: it is closed (effClose) and gets no call after that.
# Checked for the export, the last process in the log:
#   - sample rate 48000 Hz, block size 1024 and effMainsChanged(1) before the first processing call;
#   - a pre-roll of silent blocks, 1024 frames each but the last (usually 768, sometimes 752), long enough for every
#     glide of the effect to land on its target (62 blocks: a glide covers 0.2 of the distance per block and lands
#     within 1e-6; 0.8^62 < 1e-6 for the largest distance, 1);
#   - then the range: a first block that fills the last pre-roll block up to 1024 frames (usually 256), at position 0
#     with the transport playing, then 1024-frame blocks. Where the input starts to sound is reported.

function problem(text) { problems++; print "problem: " text }

# "0x2fc3" -> 12227 (mawk has no strtonum)
function hexValue(text,    digits, value, i) {
    digits = "0123456789abcdef"; value = 0
    text = tolower(text); sub(/^0x/, "", text)
    for (i = 1; i <= length(text); i++) value = value * 16 + index(digits, substr(text, i, 1)) - 1
    return value
}

{
    pid = $1; kind = $2
    lines[++count] = $0
    if (kind == "open") { state[pid, $3] = "open"; opened++; exportPid = pid; next }
    if (kind == "error") { problem("the shim could not load the plug-in: " $0); next }
    if (kind == "time") next
    if (state[pid, $3] == "closed") problem("call after effClose: " $0)
    if (kind == "closed") { state[pid, $3] = "closed"; closed++ }
}

END {
    for (key in state)
        if (state[key] == "open") {
            split(key, part, SUBSEP)
            problem("instance " part[2] " of process " part[1] " was never closed")
        }
    if (opened == 0) problem("no instance was opened")

    # The export process, line by line.
    phase = "setup"; prerollBlocks = 0; prerollFull = 0; prerollLast = 0; rangeBlocks = 0
    for (i = 1; i <= count; i++) {
        split(lines[i], f, " ")
        if (f[1] != exportPid) continue
        if (f[2] == "time") { pendingTime = lines[i]; continue }
        if (f[2] == "process") { blockTime = pendingTime; pendingTime = "" }
        if (f[2] == "dispatch" && phase == "setup") {
            if (f[4] == 10) rate = f[7]
            if (f[4] == 11) block = f[6]
            if (f[4] == 12 && f[6] == 1) mainsOn = 1
        }
        if (f[2] != "process") continue
        if (phase == "setup") {
            phase = "preroll"
            if (rate != 48000) problem("sample rate before processing: " rate " (48000 expected)")
            if (block != 1024) problem("block size before processing: " block " (1024 expected)")
            if (!mainsOn) problem("processing before effMainsChanged(1)")
        }
        if (phase == "preroll" && f[5] == "silent") {
            prerollBlocks++; prerollLast = f[4]
            if (f[4] == 1024) prerollFull++
            continue
        }
        if (phase == "preroll") {
            phase = "range"
            firstRange = f[4]
            firstSounding = f[6]
            # A time request made while processing is logged before the block's own line.
            split(blockTime, t, " ")
            firstTime = blockTime == "" ? "no time request" : "position " t[3] ", flags " t[8]
            if (blockTime == "" || t[3] != "0.0" || int(hexValue(t[8]) / 2) % 2 != 1)
                problem("the first block of the range is not at position 0 with the transport playing (" firstTime ")")
            continue
        }
        rangeBlocks++
        if (f[4] != 1024) odd++
    }
    if (phase != "range") problem("the export never processed audio")
    if (prerollBlocks < 62) problem("pre-roll of " prerollBlocks " blocks: fewer than the 62 that settle every glide")
    if (prerollFull != prerollBlocks - 1 || prerollLast < 1 || prerollLast >= 1024)
        problem("pre-roll blocks are not 1024 frames each with a shorter last one")
    if (firstRange + prerollLast != 1024)
        problem("first block of the range has " firstRange " frames (" 1024 - prerollLast " expected)")
    if (odd > 1) problem(odd " blocks of the range are not 1024 frames long")

    printf "instances: %d opened, %d closed\n", opened, closed
    printf "export: %s Hz, block size %s; pre-roll %d silent blocks (%d x 1024, then %d); ", \
        rate, block, prerollBlocks, prerollFull, prerollLast
    printf "range: first block %s frames (%s; input sounding from its frame %s), then %d more blocks\n", \
        firstRange, firstTime, firstSounding, rangeBlocks
    exit (problems > 0 ? 1 : 0)
}
