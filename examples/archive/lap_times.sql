-- One driver's valid lap times at each track in one-second bins (lap 0,
-- the way to the line, is no lap):
--   SET VARIABLE driver = 'Jim Clarkson';
WITH tracks AS (SELECT DISTINCT key, track FROM replays)
SELECT track, (lapTimeMs // 1000)::INTEGER AS second, count(*)::INTEGER AS laps
FROM laps JOIN tracks ON tracks.key = laps.replay
WHERE driver = getvariable('driver') AND lap > 0 AND lapTimeMs IS NOT NULL AND NOT invalid
GROUP BY ALL
ORDER BY track, second;
