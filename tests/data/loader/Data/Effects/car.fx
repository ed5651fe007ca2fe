technique Main { pass P0 { ZEnable = true; } }
