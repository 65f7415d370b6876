# Ends every process whose environment carries TW_DESKTOP_MARK=MARK, politely and then, after two
# seconds, by force.
#   reap.sh now PID MARK     at once, sparing PID (the script that asks)
#   reap.sh after PID MARK   once PID has ended; the scripted checks start this outside their own
#                            process tree, so it outlives them when they are killed outright
mode=$1 pid=$2 mark=$3
if [ "$mode" = after ]; then
    while kill -0 "$pid" 2>/dev/null; do sleep 0.5; done
fi
for signal in TERM TERM TERM TERM KILL; do
    pids=$(grep -lsz "^TW_DESKTOP_MARK=$mark\$" /proc/[0-9]*/environ | cut -d/ -f3 | grep -vx "$pid")
    [ -z "$pids" ] && exit 0
    kill -$signal $pids 2>/dev/null
    sleep 0.5
done
