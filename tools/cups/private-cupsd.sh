#!/usr/bin/env bash
# A private CUPS daemon for the printing tests: its own configuration, spool
# and log folders under one folder, listening only on a socket there, with
# four queues whose backend writes every job it receives into a file:
#   VelmoraPDF     (default) receives what the program prints (PDF)
#   VelmoraRaw     receives raw jobs
#   VelmoraDuplex  a PDF queue whose driver offers two-sided printing
#   VelmoraLabel   a PDF queue whose driver prints at 203 dpi (label printer)
#
#   private-cupsd.sh start DIR [WATCH_PID]   prints the socket path on success
#   private-cupsd.sh stop DIR
#
# With WATCH_PID the daemon is stopped when that process ends, so a test
# that dies still leaves no daemon behind. Exits 1 with a reason on stderr
# when no daemon can be started (no cupsd installed, ...).
set -u
cmd="${1:-}"
dir="${2:-}"
if [ -z "$cmd" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop DIR [WATCH_PID]" >&2
  exit 2
fi

stop() {
  if [ -f "$dir/cupsd.pid" ]; then
    local pid
    pid="$(cat "$dir/cupsd.pid")"
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
    rm -f "$dir/cupsd.pid"
  fi
  if [ -f "$dir/watch.pid" ]; then
    kill "$(cat "$dir/watch.pid")" 2>/dev/null
    rm -f "$dir/watch.pid"
  fi
}

if [ "$cmd" = "stop" ]; then
  stop
  exit 0
fi
[ "$cmd" = "start" ] || { echo "unknown command $cmd" >&2; exit 2; }

cupsd="$(command -v cupsd || echo /usr/sbin/cupsd)"
if [ ! -x "$cupsd" ]; then
  echo "cupsd is not installed" >&2
  exit 1
fi
sys=/usr/lib/cups
[ -d "$sys/filter" ] || { echo "$sys is missing" >&2; exit 1; }

mkdir -p "$dir"/{etc/ppd,spool/tmp,cache,state,log,bin/backend,out/pdf,out/raw,out/duplex,out/label}
chmod 0755 "$dir" "$dir/out" "$dir/out/pdf" "$dir/out/raw"
chmod 0710 "$dir/spool"
chmod 1777 "$dir/spool/tmp"
for d in filter cgi-bin daemon driver monitor notifier; do
  [ -e "$dir/bin/$d" ] || ln -s "$sys/$d" "$dir/bin/$d"
done

# The capture backend: with no arguments it lists nothing; otherwise the
# job (argument 6, or standard input) is written to the folder of its URI,
# its copy count and options (arguments 4 and 5) beside it.
backend="$dir/bin/backend/velmoracapture"
cat > "$backend" <<'SH'
#!/bin/sh
[ $# -eq 0 ] && exit 0
out="${DEVICE_URI#*:}"
name="$out/job-$1"
printf 'copies=%s\n%s\n' "$4" "$5" > "$name.opts"
if [ $# -ge 6 ]; then cat "$6" > "$name.part"; else cat > "$name.part"; fi
mv "$name.part" "$name.out"
exit 0
SH
chmod 0700 "$backend"

user="$(id -un)"
group="$(id -gn)"
if [ "$(id -u)" -eq 0 ]; then
  # cupsd refuses to run jobs as root; the capture backend (mode 0700)
  # still runs as root, filters run as lp.
  user=lp
  group=lp
fi
cat > "$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ServerBin $dir/bin
DataDir /usr/share/cups
DocumentRoot /usr/share/cups/doc-root
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
User $user
Group $group
SystemGroup $(id -gn)
Sandboxing Relaxed
FileDevice No
CONF
cat > "$dir/etc/cupsd.conf" <<CONF
LogLevel warn
Listen $dir/cups.sock
Browsing No
WebInterface No
DefaultAuthType None
JobRetryLimit 0
MaxJobTime 60
PreserveJobHistory No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat > "$dir/etc/printers.conf" <<CONF
<DefaultPrinter VelmoraPDF>
Info Velmora test PDF queue
DeviceURI velmoracapture:$dir/out/pdf
State Idle
Accepting Yes
Shared No
</DefaultPrinter>
<Printer VelmoraRaw>
Info Velmora test raw queue
DeviceURI velmoracapture:$dir/out/raw
State Idle
Accepting Yes
Shared No
</Printer>
<Printer VelmoraDuplex>
Info Velmora test two-sided queue
DeviceURI velmoracapture:$dir/out/duplex
State Idle
Accepting Yes
Shared No
</Printer>
<Printer VelmoraLabel>
Info Velmora test label queue
DeviceURI velmoracapture:$dir/out/label
State Idle
Accepting Yes
Shared No
</Printer>
CONF
chmod 0600 "$dir/etc/printers.conf"
# The two-sided queue's driver: PDF straight through, A4 and A5, duplex.
cat > "$dir/etc/ppd/VelmoraDuplex.ppd" <<'PPD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "VDUPLEX.PPD"
*Manufacturer: "Velmora"
*Product: "(Velmora test)"
*ModelName: "Velmora two-sided test"
*ShortNickName: "Velmora two-sided test"
*NickName: "Velmora two-sided test"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsFilter2: "application/pdf application/vnd.cups-pdf 0 -"
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageSize A5/A5: "<</PageSize[420 595]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageRegion A5/A5: "<</PageSize[420 595]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "0 0 595 842"
*ImageableArea A5/A5: "0 0 420 595"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension A5/A5: "420 595"
*OpenUI *Duplex/2-Sided Printing: PickOne
*OrderDependency: 10 AnySetup *Duplex
*DefaultDuplex: None
*Duplex None/Off: "<</Duplex false>>setpagedevice"
*Duplex DuplexNoTumble/Long Edge: "<</Duplex true/Tumble false>>setpagedevice"
*Duplex DuplexTumble/Short Edge: "<</Duplex true/Tumble true>>setpagedevice"
*CloseUI: *Duplex
PPD
# The label queue's driver: PDF straight through at 203 dpi.
sed -e 's/VDUPLEX/VLABEL/; s/two-sided test/label test/g' \
    -e '/Duplex/d' "$dir/etc/ppd/VelmoraDuplex.ppd" > "$dir/etc/ppd/VelmoraLabel.ppd"
cat >> "$dir/etc/ppd/VelmoraLabel.ppd" <<'PPD'
*OpenUI *Resolution/Resolution: PickOne
*OrderDependency: 10 AnySetup *Resolution
*DefaultResolution: 203dpi
*Resolution 203dpi/203 dpi: "<</HWResolution[203 203]>>setpagedevice"
*CloseUI: *Resolution
PPD

probe() {
  local lp
  lp="$(command -v lp || echo /usr/bin/lp)"
  [ -x "$lp" ] || return 0
  printf 'probe' | CUPS_SERVER="$dir/cups.sock" "$lp" -d VelmoraRaw -o raw -t probe >/dev/null 2>&1 || return 1
  for _ in $(seq 1 100); do
    if compgen -G "$dir/out/raw/job-*.out" >/dev/null; then
      rm -f "$dir"/out/raw/job-*.out
      return 0
    fi
    sleep 0.1
  done
  return 1
}

stop
"$cupsd" -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
echo $! > "$dir/cupsd.pid"

for _ in $(seq 1 100); do
  if [ -S "$dir/cups.sock" ]; then
    # A probe job must come through the capture backend, or the server is
    # of no use to the tests (a confined daemon may not run backends here).
    if ! probe; then
      echo "the private CUPS daemon does not deliver jobs:" >&2
      tail -3 "$dir/log/error_log" >&2 2>/dev/null
      stop
      exit 1
    fi
    if [ -n "${3:-}" ]; then
      watch="${3}"
      ( while kill -0 "$watch" 2>/dev/null; do sleep 1; done; "$0" stop "$dir" ) >/dev/null 2>&1 &
      echo $! > "$dir/watch.pid"
    fi
    echo "$dir/cups.sock"
    exit 0
  fi
  if ! kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null; then break; fi
  sleep 0.1
done
echo "the private CUPS daemon did not start:" >&2
cat "$dir/log/cupsd.out" "$dir/log/error_log" 2>/dev/null | tail -5 >&2
stop
exit 1
