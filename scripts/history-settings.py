#!/usr/bin/env python3
"""Writes a settings file holding COUNT usage samples 15 minutes apart ending now, in the stored
form, as a returning user's file (the first-run defaults already applied). 2,500 is the retained
maximum; more make a file another program wrote, which retention cuts down at start.

usage: history-settings.py PATH COUNT
"""
import base64
import json
import sys
import time
import uuid

path, count = sys.argv[1], int(sys.argv[2])
reference = time.time() - 978307200.0
samples = []
for n in range(count):
    samples.append('{"id":"%s","provider":"%s","recordedAt":%r,"fiveHourRemainingPercent":%r,'
                   '"weeklyRemainingPercent":%r,"codexPeriodValidationVersion":1}'
                   % (str(uuid.uuid4()).upper(), "codex" if n % 2 else "claude",
                      reference - (count - 1 - n) * 900.0, 40.0 + n % 50 + 0.5, 80.25 - n % 30))
data = ("[" + ",".join(samples) + "]").encode()
document = {
    "Vantorel.defaultsApplied.startupUI.1": {"type": "bool", "value": True},
    "Vantorel.usageHistory": {"type": "data", "value": base64.b64encode(data).decode()},
}
with open(path, "w") as out:
    json.dump(document, out)
