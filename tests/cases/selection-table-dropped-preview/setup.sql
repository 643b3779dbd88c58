INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA5110750012', '081777', 'MARTIN', 'Léa');
DROP TABLE Selection;
