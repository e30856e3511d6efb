// A WS-Discovery client written by others (the "onvif" package of the npm registry,
// its Discovery.probe) pointed at the simulated site, for comparison with the scanner.
// Usage: node onvif_probe.js STATE_FILE TIMEOUT_MS [BUFFER_BYTES]
// STATE_FILE holds the simulator's state lines; the devices that speak ONVIF are the
// ones a probe can find. Prints one summary line and one JSON line.
'use strict';
const fs = require('fs');
const { Discovery } = require('onvif');

const [stateFile, timeoutText, bufferText] = process.argv.slice(2);
const onvifDevices = new Set();
for (const line of fs.readFileSync(stateFile, 'utf8').split('\n')) {
  if (!line.startsWith('{')) continue;
  const o = JSON.parse(line);
  if (o.event === 'state' && o.protocols.includes('onvif')) onvifDevices.add(o.device);
}

const timeout = Number(timeoutText) || 3000;
const found = new Set();
let lastNewMs = 0;
let errors = 0;
const start = process.hrtime.bigint();
const cpuBefore = process.cpuUsage();
Discovery.on('device', (cam, rinfo) => {
  if (onvifDevices.has(rinfo.address) && !found.has(rinfo.address)) {
    found.add(rinfo.address);
    lastNewMs = Number(process.hrtime.bigint() - start) / 1e6;
  }
});
Discovery.on('error', () => { ++errors; });
const options = { timeout, resolve: false };
if (bufferText) options.bufferSize = Number(bufferText);
Discovery.probe(options, () => {
  const cpu = process.cpuUsage(cpuBefore);
  const cpuMs = (cpu.user + cpu.system) / 1000;
  const share = (100 * found.size) / onvifDevices.size;
  console.log(`onvif package (${bufferText ? `receive buffer ${bufferText} bytes` : 'default receive buffer'}): ` +
              `${found.size} of ${onvifDevices.size} ONVIF devices (${share.toFixed(2)}%) in ${timeout} ms, ` +
              `last new at ${lastNewMs.toFixed(0)} ms, CPU ${cpuMs.toFixed(0)} ms, ${errors} unreadable replies`);
  console.log(JSON.stringify({ client: 'onvif', onvifDevices: onvifDevices.size, found: found.size,
                               cpuMs: Math.round(cpuMs), lastNewMs: Math.round(lastNewMs) }));
});
