INSERT INTO tr5906_units (finished_at, station, port, serial, result, step, reason, seconds, serial_before) VALUES
('2026-12-06T23:59:59.999Z', 'a', 'COM1', 'N-100', 'pass', NULL, NULL, 3.0, NULL),
('2026-12-07T00:00:00.000Z', 'a', 'COM2', 'N-101', 'fail', 'verify', 'device_name: wrote P, read X', 4.2, NULL),
('2026-12-07T08:30:00.000Z', 'b', 'COM1', NULL, 'fail', 'serial', 'N-100 is being worked on at a COM1', 0.5, 'N-100'),
('2026-12-07T08:31:59.500Z', 'b', 'COM1', 'N-102', 'pass', NULL, NULL, 3.1, 'XY-7'),
('2026-12-07T12:00:00.000Z', 'a', 'COM2', 'N-103', 'pass', NULL, NULL, 2.9, 'N-101'),
('2026-12-08T00:00:00.000Z', 'b', 'COM2', 'N-100', 'pass', NULL, NULL, 2.0, 'N-100'),
('2026-12-08T09:15:00.000Z', 'a', 'COM1', NULL, 'fail', 'identity', 'no answer', 1.0, NULL);
INSERT INTO tr5906_serials (serial, state, station, port, taken_at) VALUES
('N-100', 'used', 'a', 'COM1', ''), ('N-101', 'void', 'a', 'COM2', ''),
('N-102', 'used', 'b', 'COM1', ''), ('N-103', 'used', 'a', 'COM2', '')
