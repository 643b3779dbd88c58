INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA5110750012', '081777', 'MARTIN', 'Léa');
CREATE TRIGGER refuse BEFORE INSERT ON Selection BEGIN SELECT RAISE(ABORT, 'sélection close'); END;
