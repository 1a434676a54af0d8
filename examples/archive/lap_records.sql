-- Each track's lap record over every session, and who holds it (the
-- first in name order when two drivers share the time).
WITH times AS (
    SELECT t.track, r.driver, r.lapTime, r.lapTimeMs
    FROM results r JOIN (SELECT DISTINCT key, track FROM replays) t ON t.key = r.replay
    WHERE r.lapTimeMs IS NOT NULL
), ranked AS (
    SELECT *, row_number() OVER (PARTITION BY track ORDER BY lapTimeMs, driver) AS rank FROM times
)
SELECT track, lapTime AS record, lapTimeMs::INTEGER AS record_ms, driver AS holder
FROM ranked WHERE rank = 1
ORDER BY track;
