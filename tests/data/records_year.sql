WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)
INSERT INTO tr5906_units (finished_at, station, port, serial, result, seconds, config_sha256, program)
SELECT '2026-12-07T10:00:00.000Z', 'line2', '/dev/ttyUSB0', 'TR-2026-' || (100000 + i), 'pass', 38.5,
  'eeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee', 'tr5906ctl 1.1.1' FROM n
